#include "app/CommandTable.h"

#include "app/WindowLayouts.h"
#include "document/DocumentCommands.h"

#include <map>

namespace vm {

namespace {

uint32_t Id(CommandId id) {
    return static_cast<uint32_t>(id);
}

MenuItem Item(const char* text, uint32_t id) {
    return {MenuItem::Kind::Command, QString::fromUtf8(text), id, {}};
}

MenuItem Item(const char* text, CommandId id) {
    return Item(text, Id(id));
}

MenuItem Bar() {
    return {MenuItem::Kind::Separator, {}, 0, {}};
}

MenuItem Submenu(const char* text, std::vector<MenuItem> children) {
    return {MenuItem::Kind::Submenu, QString::fromUtf8(text), 0, std::move(children)};
}

std::vector<MenuItem> BuildMainMenu() {
    using C = CommandId;
    return {
        Submenu("&File",
                {Item("&New\tCtrl+N", cmd::kFileNew), Item("&Open...\tCtrl+O", cmd::kFileOpen),
                 Item("&Save\tCtrl+S", cmd::kFileSave), Item("Save &As...", cmd::kFileSaveAs),
                 Bar(), Item("&Export...", cmd::kFileExport), Bar(),
                 Item("Recent File", cmd::kRecentFile), Bar(), Item("E&xit", cmd::kExit)}),
        Submenu("&Edit", {Item("&Undo\tCtrl+Z", C::Undo), Item("&Redo\tCtrl+Y", C::Redo), Bar(),
                          Submenu("&Edit in 3D window",
                                  {Item("&On\tCtrl+M", C::Edit3DOn),
                                   Item("&Fix direction\tCtrl+D", C::Edit3DFixDirection),
                                   Item("&Reset modifications", C::Edit3DReset), Bar(),
                                   Item("&Settings...", C::Edit3DSettings)})}),
        Submenu("&View",
                {Item("&Box\tCtrl+B", C::ViewBox),
                 Item("&Features\tCtrl+F", C::ViewFeatures),
                 Bar(),
                 Submenu("&Points", {Item("&All", C::PointsAll), Item("&More", C::PointsMore),
                                     Item("&Less", C::PointsLess), Item("&No", C::PointsNo)}),
                 Bar(),
                 Item("Blend &Zone", C::ViewBlendZone),
                 Bar(),
                 Item("&Wireframe", C::ViewWireframe),
                 Item("So&lid", C::ViewSolid),
                 Bar(),
                 Item("Li&ghting", C::ViewLighting),
                 Bar(),
                 Item("O&rthogonal", C::ViewOrthogonal),
                 Item("P&erspective", C::ViewPerspective),
                 Bar(),
                 Submenu("Model &Detail", {Item("&High\tCtrl+3", C::DetailHigh),
                                           Item("&Medium\tCtrl+2", C::DetailMedium),
                                           Item("&Low\tCtrl+1", C::DetailLow)}),
                 Bar(),
                 Item("&Subdivision settings...", C::SubdivisionSettings),
                 Bar(),
                 Item("Frame &Head\tHome", cmd::kFrameHead),
                 Item("Zoom &In", cmd::kZoomIn),
                 Item("Zoom &Out", cmd::kZoomOut),
                 Bar(),
                 Item("&Magnifier", cmd::kMagnifier),
                 Bar(),
                 Item("&Toolbar", cmd::kViewToolbar),
                 Item("&Status Bar", cmd::kViewStatusBar)}),
        Submenu("Model",
                {Item("Load &Front...\tF3", C::LoadFront), Item("Load &Side...\tF4", C::LoadSide),
                 Bar(), Item("Fit &Automatically", cmd::kFitAutomatically),
                 Item("&Match Side Photo to Front", cmd::kMatchSideToFront), Bar(),
                 Item("&Left Side", C::LeftSide)}),
        Submenu("Window",
                {Item("&Front", layout::kFront), Item("Front &and Side", layout::kFrontAndSide),
                 Item("&Side", layout::kSide), Bar(), Item("Fro&nt and 3D", layout::kFrontAnd3D),
                 Item("Si&de and 3D", layout::kSideAnd3D), Item("3&D", layout::k3D), Bar(),
                 Item("A&ll", layout::kAll)}),
        Submenu("&Help", {Item("&Help", cmd::kHelp), Item("&Video Tutorial", cmd::kVideoTutorial),
                          Bar(), Item("&About Visomorf...", cmd::kAbout)}),
    };
}

// Prompt and tooltip, separated by a line break, as the string table holds them.
const std::map<uint32_t, QString>& PromptTable() {
    static const std::map<uint32_t, QString> table = {
        {cmd::kFileNew, "Create a new document\nNew"},
        {cmd::kFileOpen, "Open an existing document\nOpen"},
        {cmd::kFileSave, "Save the active document\nSave"},
        {cmd::kFileSaveAs, "Save the active document with a new name\nSave As"},
        {cmd::kRecentFile, "Open this document"},
        {cmd::kRecentFile + 1, "Open this document"},
        {cmd::kRecentFile + 2, "Open this document"},
        {cmd::kRecentFile + 3, "Open this document"},
        {cmd::kExit, "Quit the application; prompts to save documents\nExit"},
        {Id(CommandId::Undo), "Undo the last action\nUndo"},
        {Id(CommandId::Redo), "Redo the previously undone action\nRedo"},
        {cmd::kViewToolbar, "Show or hide the toolbar\nToggle ToolBar"},
        {cmd::kViewStatusBar, "Show or hide the status bar\nToggle StatusBar"},
        {cmd::kHelp, "Display help for current task or command\nHelp"},
        {cmd::kAbout, "Display program information, version number and copyright\nAbout"},
        {cmd::kFitAutomatically, "Place the box and feature points on both photos from the "
                                 "photos themselves\nFit Automatically"},
        {cmd::kMatchSideToFront, "Scale and shift the side photo so that the head's heights "
                                 "agree with the front photo\nMatch Side Photo to Front"},
        {cmd::kNextPane, "Switch to the next window pane\nNext Pane"},
        {cmd::kFrameHead, "Show the whole head in the 3D window, turned as it is\nFrame Head"},
        {cmd::kZoomIn, "Enlarge the picture in the active window\nZoom In"},
        {cmd::kZoomOut, "Reduce the picture in the active window\nZoom Out"},
        {cmd::kPreviousPane, "Switch back to the previous window pane\nPrevious Pane"},
        {Id(CommandId::ViewLighting),
         "Turn on or off lighting for 3D model\nToggle lighting for 3D model"},
        {Id(CommandId::ViewPerspective), "Turn on perspective projection or orthogonal otherwise "
                                         "for 3D model\nToggle perspective for 3D model"},
        {Id(CommandId::Edit3DOn),
         "Turns editing in 3D window on or off\nTurns editing in 3D window on or off"},
        {Id(CommandId::Edit3DFixDirection), "Fixes direction of pushing/polling in 3D "
                                            "window\nFixes direction of pushing/polling in 3D "
                                            "window"},
        {Id(CommandId::Edit3DReset), "Resets all modifications made by editing in 3D "
                                     "window\nReset all modifications made by editing in 3D "
                                     "window"},
        {Id(CommandId::Edit3DSettings), "Change settings for editing in 3D window\nChange "
                                        "settings for editing in 3D window"},
    };
    return table;
}

QString PromptPart(uint32_t id, int part) {
    const auto found = PromptTable().find(id);
    if (found == PromptTable().end()) {
        return {};
    }
    return found->second.section(QLatin1Char('\n'), part, part);
}

} // namespace

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = BuildMainMenu();
    return menu;
}

const std::vector<Accelerator>& Accelerators() {
    static const std::vector<Accelerator> table = {
        {"Ctrl+1", Id(CommandId::DetailLowKey)},
        {"Ctrl+2", Id(CommandId::DetailMediumKey)},
        {"Ctrl+3", Id(CommandId::DetailHighKey)},
        {"Ctrl+M", Id(CommandId::Edit3DOn)},
        {"Ctrl+D", Id(CommandId::Edit3DFixDirection)},
        {"Shift+Alt+Backspace", Id(CommandId::Redo)},
        {"Ctrl+Y", Id(CommandId::Redo)},
        {"Alt+Backspace", Id(CommandId::Undo)},
        {"Ctrl+Z", Id(CommandId::Undo)},
        {"Ctrl+N", cmd::kFileNew},
        {"Ctrl+O", cmd::kFileOpen},
        {"Ctrl+S", cmd::kFileSave},
        {"F3", Id(CommandId::LoadFront)},
        {"F4", Id(CommandId::LoadSide)},
        {"F6", cmd::kNextPane},
        {"Shift+F6", cmd::kPreviousPane},
        {"Home", cmd::kFrameHead},
        {"Ctrl+B", Id(CommandId::ViewBox)},
        {"Ctrl+F", Id(CommandId::ViewFeatures)},
    };
    return table;
}

const std::vector<uint32_t>& ToolbarCommands() {
    static const std::vector<uint32_t> buttons = {cmd::kFileNew,
                                                  cmd::kFileOpen,
                                                  cmd::kFileSave,
                                                  0,
                                                  Id(CommandId::Undo),
                                                  Id(CommandId::Redo),
                                                  0,
                                                  Id(CommandId::ViewBox),
                                                  Id(CommandId::ViewFeatures),
                                                  0,
                                                  cmd::kFitAutomatically,
                                                  0,
                                                  Id(CommandId::PointsLess),
                                                  Id(CommandId::PointsMore),
                                                  0,
                                                  cmd::kAbout};
    return buttons;
}

QString CommandPrompt(uint32_t id) {
    return PromptPart(id, 0);
}

QString CommandTooltip(uint32_t id) {
    return PromptPart(id, 1);
}

} // namespace vm
