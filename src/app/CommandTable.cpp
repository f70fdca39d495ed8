#include "app/CommandTable.h"

#include "app/WindowLayouts.h"
#include "document/DocumentCommands.h"

namespace vm {

namespace {

uint32_t Id(CommandId id) {
    return static_cast<uint32_t>(id);
}

std::vector<CommandText> FileTexts() {
    std::vector<CommandText> texts = {
        {cmd::kFileNew, "&New\tCtrl+N", {"Ctrl+N"}, "Create a new document\nNew"},
        {cmd::kFileOpen, "&Open...\tCtrl+O", {"Ctrl+O"}, "Open an existing document\nOpen"},
        {cmd::kFileSave, "&Save\tCtrl+S", {"Ctrl+S"}, "Save the active document\nSave"},
        {cmd::kFileSaveAs, "Save &As...", {}, "Save the active document with a new name\nSave As"},
        {cmd::kFileExport, "&Export...", {}, {}},
        {cmd::kExit, "E&xit", {}, "Quit the application; prompts to save documents\nExit"},
    };
    for (uint32_t i = 0; i < cmd::kRecentFileCount; ++i) {
        texts.push_back({cmd::kRecentFile + i, "Recent File", {}, "Open this document"});
    }
    return texts;
}

std::vector<CommandText> EditTexts() {
    using C = CommandId;
    return {
        {Id(C::Undo), "&Undo\tCtrl+Z", {"Ctrl+Z", "Alt+Backspace"}, "Undo the last action\nUndo"},
        {Id(C::Redo),
         "&Redo\tCtrl+Y",
         {"Ctrl+Y", "Shift+Alt+Backspace"},
         "Redo the previously undone action\nRedo"},
        {Id(C::Edit3DOn),
         "&On\tCtrl+M",
         {"Ctrl+M"},
         "Turns editing in 3D window on or off\nTurns editing in 3D window on or off"},
        {Id(C::Edit3DFixDirection),
         "&Fix direction\tCtrl+D",
         {"Ctrl+D"},
         "Fixes direction of pushing/polling in 3D window\nFixes direction of pushing/polling "
         "in 3D window"},
        {Id(C::Edit3DReset),
         "&Reset modifications",
         {},
         "Resets all modifications made by editing in 3D window\nReset all modifications made "
         "by editing in 3D window"},
        {Id(C::Edit3DSettings),
         "&Settings...",
         {},
         "Change settings for editing in 3D window\nChange settings for editing in 3D window"},
    };
}

std::vector<CommandText> ViewTexts() {
    using C = CommandId;
    return {
        {Id(C::ViewBox), "&Box\tCtrl+B", {"Ctrl+B"}, {}},
        {Id(C::ViewFeatures), "&Features\tCtrl+F", {"Ctrl+F"}, {}},
        {Id(C::PointsAll), "&All", {}, {}},
        {Id(C::PointsMore), "&More", {}, {}},
        {Id(C::PointsLess), "&Less", {}, {}},
        {Id(C::PointsNo), "&No", {}, {}},
        {Id(C::ViewBlendZone), "Blend &Zone", {}, {}},
        {Id(C::ViewWireframe), "&Wireframe", {}, {}},
        {Id(C::ViewSolid), "So&lid", {}, {}},
        {Id(C::ViewLighting),
         "Li&ghting",
         {},
         "Turn on or off lighting for 3D model\nToggle lighting for 3D model"},
        {Id(C::ViewOrthogonal), "O&rthogonal", {}, {}},
        {Id(C::ViewPerspective),
         "P&erspective",
         {},
         "Turn on perspective projection or orthogonal otherwise for 3D model\nToggle "
         "perspective for 3D model"},
        // The detail items show their keys, but the keys send ids of their own.
        {Id(C::DetailHigh), "&High\tCtrl+3", {}, {}},
        {Id(C::DetailMedium), "&Medium\tCtrl+2", {}, {}},
        {Id(C::DetailLow), "&Low\tCtrl+1", {}, {}},
        {Id(C::DetailHighKey), {}, {"Ctrl+3"}, {}},
        {Id(C::DetailMediumKey), {}, {"Ctrl+2"}, {}},
        {Id(C::DetailLowKey), {}, {"Ctrl+1"}, {}},
        {Id(C::SubdivisionSettings), "&Subdivision settings...", {}, {}},
        {cmd::kFrameHead,
         "Frame &Head\tHome",
         {"Home"},
         "Show the whole head in the 3D window, turned as it is\nFrame Head"},
        {cmd::kZoomIn, "Zoom &In", {}, "Enlarge the picture in the active window\nZoom In"},
        {cmd::kZoomOut, "Zoom &Out", {}, "Reduce the picture in the active window\nZoom Out"},
        {cmd::kMagnifier, "&Magnifier", {}, {}},
        {cmd::kViewToolbar, "&Toolbar", {}, "Show or hide the toolbar\nToggle ToolBar"},
        {cmd::kViewStatusBar, "&Status Bar", {}, "Show or hide the status bar\nToggle StatusBar"},
    };
}

std::vector<CommandText> ModelTexts() {
    using C = CommandId;
    return {
        {Id(C::LoadFront), "Load &Front...\tF3", {"F3"}, {}},
        {Id(C::LoadSide), "Load &Side...\tF4", {"F4"}, {}},
        {cmd::kFitAutomatically,
         "Fit &Automatically",
         {},
         "Place the box and feature points on both photos from the photos themselves\nFit "
         "Automatically"},
        {cmd::kMatchSideToFront,
         "&Match Side Photo to Front",
         {},
         "Scale and shift the side photo so that the head's heights agree with the front "
         "photo\nMatch Side Photo to Front"},
        {Id(C::LeftSide), "&Left Side", {}, {}},
    };
}

std::vector<CommandText> WindowTexts() {
    return {
        {layout::kFront, "&Front", {}, {}},
        {layout::kFrontAndSide, "Front &and Side", {}, {}},
        {layout::kSide, "&Side", {}, {}},
        {layout::kFrontAnd3D, "Fro&nt and 3D", {}, {}},
        {layout::kSideAnd3D, "Si&de and 3D", {}, {}},
        {layout::k3D, "3&D", {}, {}},
        {layout::kAll, "A&ll", {}, {}},
        {cmd::kNextPane, {}, {"F6"}, "Switch to the next window pane\nNext Pane"},
        {cmd::kPreviousPane,
         {},
         {"Shift+F6"},
         "Switch back to the previous window pane\nPrevious Pane"},
        {cmd::kHelp, "&Help", {}, "Display help for current task or command\nHelp"},
        {cmd::kVideoTutorial, "&Video Tutorial", {}, {}},
        {cmd::kAbout,
         "&About Visomorf...",
         {},
         "Display program information, version number and copyright\nAbout"},
    };
}

MenuItem Item(uint32_t id) {
    return {MenuItem::Kind::Command, {}, id, {}};
}

MenuItem Item(CommandId id) {
    return Item(Id(id));
}

MenuItem Bar() {
    return {MenuItem::Kind::Separator, {}, 0, {}};
}

MenuItem Submenu(const char* title, std::vector<MenuItem> children) {
    return {MenuItem::Kind::Submenu, QString::fromUtf8(title), 0, std::move(children)};
}

MenuItem ViewMenu() {
    using C = CommandId;
    return Submenu(
        "&View",
        {Item(C::ViewBox),
         Item(C::ViewFeatures),
         Bar(),
         Submenu("&Points",
                 {Item(C::PointsAll), Item(C::PointsMore), Item(C::PointsLess), Item(C::PointsNo)}),
         Bar(),
         Item(C::ViewBlendZone),
         Bar(),
         Item(C::ViewWireframe),
         Item(C::ViewSolid),
         Bar(),
         Item(C::ViewLighting),
         Bar(),
         Item(C::ViewOrthogonal),
         Item(C::ViewPerspective),
         Bar(),
         Submenu("Model &Detail", {Item(C::DetailHigh), Item(C::DetailMedium), Item(C::DetailLow)}),
         Bar(),
         Item(C::SubdivisionSettings),
         Bar(),
         Item(cmd::kFrameHead),
         Item(cmd::kZoomIn),
         Item(cmd::kZoomOut),
         Bar(),
         Item(cmd::kMagnifier),
         Bar(),
         Item(cmd::kViewToolbar),
         Item(cmd::kViewStatusBar)});
}

std::vector<MenuItem> BuildMainMenu() {
    using C = CommandId;
    return {
        Submenu("&File", {Item(cmd::kFileNew), Item(cmd::kFileOpen), Item(cmd::kFileSave),
                          Item(cmd::kFileSaveAs), Bar(), Item(cmd::kFileExport), Bar(),
                          Item(cmd::kRecentFile), Bar(), Item(cmd::kExit)}),
        Submenu("&Edit", {Item(C::Undo), Item(C::Redo), Bar(),
                          Submenu("&Edit in 3D window",
                                  {Item(C::Edit3DOn), Item(C::Edit3DFixDirection),
                                   Item(C::Edit3DReset), Bar(), Item(C::Edit3DSettings)})}),
        ViewMenu(),
        Submenu("Model",
                {Item(C::LoadFront), Item(C::LoadSide), Bar(), Item(cmd::kFitAutomatically),
                 Item(cmd::kMatchSideToFront), Bar(), Item(C::LeftSide)}),
        Submenu("Window", {Item(layout::kFront), Item(layout::kFrontAndSide), Item(layout::kSide),
                           Bar(), Item(layout::kFrontAnd3D), Item(layout::kSideAnd3D),
                           Item(layout::k3D), Bar(), Item(layout::kAll)}),
        Submenu("&Help", {Item(cmd::kHelp), Item(cmd::kVideoTutorial), Bar(), Item(cmd::kAbout)}),
    };
}

} // namespace

const std::vector<CommandText>& CommandTexts() {
    static const std::vector<CommandText> texts = [] {
        std::vector<CommandText> all;
        for (auto part : {FileTexts, EditTexts, ViewTexts, ModelTexts, WindowTexts}) {
            std::vector<CommandText> some = part();
            all.insert(all.end(), some.begin(), some.end());
        }
        return all;
    }();
    return texts;
}

const std::vector<MenuItem>& MainMenu() {
    static const std::vector<MenuItem> menu = BuildMainMenu();
    return menu;
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

} // namespace vm
