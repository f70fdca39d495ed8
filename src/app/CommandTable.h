#pragma once
// The command vocabulary of the main window: each command's menu text, keys, status-bar prompt
// and tooltip, the menu tree and the toolbar. The document's own commands keep their ids from
// CommandId; the ids here are the ones the frame and the application handle.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace vm {

namespace cmd {
constexpr uint32_t kFileNew = 57600;
constexpr uint32_t kFileOpen = 57601;
constexpr uint32_t kFileSave = 57603;
constexpr uint32_t kFileSaveAs = 57604;
constexpr uint32_t kFileExport = 32771;
constexpr uint32_t kRecentFile = 57616; // the first of the 4 recent-file entries
constexpr uint32_t kRecentFileCount = 4;
constexpr uint32_t kExit = 57665;
constexpr uint32_t kZoomIn = 32787;
constexpr uint32_t kZoomOut = 32788;
constexpr uint32_t kMagnifier = 32789;
constexpr uint32_t kViewToolbar = 59392;
constexpr uint32_t kViewStatusBar = 59393;
constexpr uint32_t kHelp = 57670;
constexpr uint32_t kVideoTutorial = 32820;
constexpr uint32_t kAbout = 57664;
constexpr uint32_t kFitAutomatically = 32821;
constexpr uint32_t kFrameHead = 32822;
constexpr uint32_t kMatchSideToFront = 32823;
constexpr uint32_t kNextPane = 57680;
constexpr uint32_t kPreviousPane = 57681;
} // namespace cmd

// What the user sees of one command.
struct CommandText {
    uint32_t id = 0;
    // The menu text: mnemonic with '&', the shortcut shown at the right after a tab. Empty for
    // a command reached only by its keys.
    QString text;
    // QKeySequence portable texts; the one the menu text shows comes first.
    QStringList keys;
    // The status-bar prompt, a line break and the tooltip; empty when the command has none.
    QString prompt;
};

struct MenuItem {
    enum class Kind { Command, Separator, Submenu };
    Kind kind = Kind::Command;
    QString title;                  // Submenu only: its text, mnemonic with '&'
    uint32_t id = 0;                // Command only
    std::vector<MenuItem> children; // Submenu only
};

// Every command the window offers, each once.
const std::vector<CommandText>& CommandTexts();
// The main menu's top-level entries (each a submenu), left to right.
const std::vector<MenuItem>& MainMenu();
// The toolbar's commands, left to right; 0 marks a separator.
const std::vector<uint32_t>& ToolbarCommands();

} // namespace vm
