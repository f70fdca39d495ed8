#pragma once
// The command vocabulary of the main window: the menu tree with its texts and ids, the keyboard
// accelerators, and each command's status-bar prompt and tooltip. The document's own commands
// keep their ids from CommandId; the ids here are the ones the frame and the application handle.
#include <QString>
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

struct MenuItem {
    enum class Kind { Command, Separator, Submenu };
    Kind kind = Kind::Command;
    // The menu text: mnemonic with '&', the shortcut shown at the right after a tab.
    QString text;
    uint32_t id = 0;
    std::vector<MenuItem> children; // Submenu only
};

struct Accelerator {
    QString keys; // QKeySequence portable text
    uint32_t id;
};

// The main menu's top-level entries (each a submenu), left to right.
const std::vector<MenuItem>& MainMenu();
const std::vector<Accelerator>& Accelerators();
// The toolbar's commands, left to right; 0 marks a separator.
const std::vector<uint32_t>& ToolbarCommands();
// The status-bar prompt (before the line break) and the tooltip (after it); empty when the
// command has none.
QString CommandPrompt(uint32_t id);
QString CommandTooltip(uint32_t id);

} // namespace vm
