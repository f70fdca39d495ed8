// The main window's commands: what each one does and when it is enabled or marked, side by side.
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "document/CVisomorfDoc.h"

#include <QStatusBar>
#include <QToolBar>
#include <span>

namespace vm {

namespace {

CommandState Enabled(bool on) {
    return {on, CheckMark::None};
}

CommandState Checked(bool on) {
    return {true, on ? CheckMark::Check : CheckMark::None};
}

bool ReplacesModel(CommandId id) {
    return id == CommandId::LoadFront || id == CommandId::LoadSide;
}

} // namespace

void CMainFrame::BindCommands() {
    BindFileCommands();
    BindViewCommands();
    BindModelCommands();
    BindWindowCommands();
}

void CMainFrame::BindFileCommands() {
    CommandRegistry& r = m_registry;
    const auto replaceable = [this] { return Enabled(m_files.CanReplaceDocument()); };
    // A drag's model is half-way: saving it would store what Escape is about to undo.
    const auto savable = [this] { return Enabled(m_files.CanSave()); };
    r.Bind(
        cmd::kFileNew, [this] { m_files.New(); }, replaceable);
    r.Bind(
        cmd::kFileOpen, [this] { m_files.Open(); }, replaceable);
    r.Bind(
        cmd::kFileSave, [this] { m_files.Save(); }, savable);
    r.Bind(
        cmd::kFileSaveAs, [this] { m_files.SaveAs(); }, savable);
    r.Bind(
        cmd::kFileExport,
        [this] {
            if (m_views.exportCommand) {
                m_views.exportCommand(m_doc, this);
            }
        },
        [this] { return Enabled(static_cast<bool>(m_views.exportCommand)); });
    for (uint32_t i = 0; i < cmd::kRecentFileCount; ++i) {
        r.Bind(
            cmd::kRecentFile + i, [this, i] { m_files.OpenRecent(static_cast<int>(i)); },
            [this] {
                return Enabled(m_files.CanReplaceDocument() && !m_recent.Entries().isEmpty());
            });
    }
    r.Bind(cmd::kExit, [this] { close(); });
}

void CMainFrame::BindViewCommands() {
    CommandRegistry& r = m_registry;
    const auto zoomable = [this] { return Enabled(m_views.zoomView && m_activation.Active()); };
    for (const uint32_t id : {cmd::kZoomIn, cmd::kZoomOut}) {
        const int notches = id == cmd::kZoomIn ? 1 : -1;
        r.Bind(
            id,
            [this, notches] {
                if (m_views.zoomView && m_activation.Active()) {
                    m_views.zoomView(m_activation.Active(), notches);
                }
            },
            zoomable);
    }
    r.Bind(
        cmd::kFrameHead,
        [this] {
            if (m_views.frameHead && m_view3D) {
                m_views.frameHead(m_view3D);
            }
        },
        [this] { return Enabled(m_views.frameHead && m_view3D); });
    r.Bind(
        cmd::kMagnifier, [this] { ToggleMagnifier(); },
        [this] {
            return CommandState{m_magnifier != nullptr, m_magnifier && m_magnifier->isVisible()
                                                            ? CheckMark::Check
                                                            : CheckMark::None};
        });
    r.Bind(
        cmd::kViewToolbar, [this] { m_toolbar->setVisible(!m_toolbar->isVisible()); },
        [this] { return Checked(m_toolbar && !m_toolbar->isHidden()); });
    r.Bind(
        cmd::kViewStatusBar, [this] { statusBar()->setVisible(!statusBar()->isVisible()); },
        [this] { return Checked(!statusBar()->isHidden()); });
}

void CMainFrame::BindModelCommands() {
    CommandRegistry& r = m_registry;
    int count = 0;
    const CommandId* ids = DocumentCommandIds(count);
    for (const CommandId id : std::span(ids, static_cast<size_t>(count))) {
        r.Bind(
            static_cast<uint32_t>(id),
            [this, id] {
                if (m_doc.RunCommand(id) && ReplacesModel(id)) {
                    LargeOperationDone();
                }
            },
            [this, id] { return m_doc.GetCommandState(id); });
    }
    // The fit and the match work on loaded photos and move points: not while a view drags.
    const auto runAndKeep = [this](const std::function<void(CVisomorfDoc&, QWidget*)>& command) {
        if (command) {
            command(m_doc, this);
            LargeOperationDone();
        }
    };
    r.Bind(
        cmd::kFitAutomatically, [this, runAndKeep] { runAndKeep(m_views.autoFitCommand); },
        [this] {
            const bool anyPhoto = !m_doc.photos[0].isNull() || !m_doc.photos[1].isNull();
            return Enabled(m_views.autoFitCommand && anyPhoto && !m_doc.IsDragInProgress());
        });
    r.Bind(
        cmd::kMatchSideToFront, [this, runAndKeep] { runAndKeep(m_views.matchSideCommand); },
        [this] {
            const bool bothPhotos = !m_doc.photos[0].isNull() && !m_doc.photos[1].isNull();
            return Enabled(m_views.matchSideCommand && bothPhotos && !m_doc.IsDragInProgress());
        });
}

void CMainFrame::BindWindowCommands() {
    CommandRegistry& r = m_registry;
    for (const uint32_t id : r.Ids()) {
        if (IsLayoutCommand(id)) {
            r.Bind(id, [this, id] { ApplyLayout(id, *this); });
        }
    }
    r.Bind(cmd::kNextPane, [this] { CyclePane(1); });
    r.Bind(cmd::kPreviousPane, [this] { CyclePane(-1); });
    r.Bind(cmd::kHelp, [this] { OpenHelpPage(m_helpPaths.helpFile); });
    r.Bind(cmd::kVideoTutorial, [this] { OpenHelpPage(m_helpPaths.tutorial); });
    r.Bind(cmd::kAbout, [this] { CAboutDlg(this).exec(); });
}

} // namespace vm
