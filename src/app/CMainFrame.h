#pragma once
// The program's one top-level window: menus, toolbar, status bar, the magnifier, and two nested
// captioned splitters holding the front view and a side view (switchable pane), a second side
// view and the 3D view. Commands arrive here by id; the window binds each one's run and state
// in its command registry and shows the states again whenever the document, the active view or
// a drag changes, and before a menu opens.
#include "app/CViewActivation.h"
#include "app/CommandRegistry.h"
#include "app/FileCommands.h"
#include "app/HelpPaths.h"
#include "app/MainFrameViews.h"
#include "app/RecentFileList.h"
#include "app/WindowLayouts.h"
#include "document/DocumentCommands.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <memory>

class QFileDialog;
class QLabel;
class QToolBar;

namespace vm {

class CDocumentView;
class CommandActions;
class CSplitterWndEx;
class CVisomorfDoc;

class CMainFrame : public QMainWindow, private LayoutTarget {
    Q_OBJECT
public:
    CMainFrame(CVisomorfDoc& doc, MainFrameViews views, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Carries out a command and refreshes every command's state; false for an unknown id.
    bool OnCommand(uint32_t id);
    CommandState GetCommandState(uint32_t id) const;
    const CommandRegistry& Commands() const { return m_registry; }
    // Shows the commands' states on menus and toolbar, the recent files and the title.
    void UpdateCommandUI();
    // The same once the events being handled now are done; any number of calls cost one.
    void UpdateCommandUISoon();

    QAction* Action(uint32_t id) const;
    FileCommands& Files() { return m_files; }
    CViewActivation& Activation() { return m_activation; }
    CSplitterWndEx* OuterSplitter() const { return m_outer; }
    CSplitterWndEx* InnerSplitter() const { return m_inner; }
    QWidget* FrontView() const { return m_front; }
    QWidget* SideView() const { return m_side; }           // in the switchable pane
    QWidget* InnerSideView() const { return m_innerSide; } // above the 3D view
    QWidget* View3D() const { return m_view3D; }
    QWidget* Magnifier() const { return m_magnifier; }
    QToolBar* ToolBar() const { return m_toolbar; }
    // The views shown now, in pane order (F6 visits them in this order).
    QList<QWidget*> VisibleViews() const;

    // Where the window first opens on a screen whose free area is availableScreen (screen
    // pixels): three quarters of it each way, centred.
    static QRect DefaultGeometry(const QRect& availableScreen);

    // File > Save As's dialog: Visomorf files, ".vmf" added to a name typed without an
    // extension before the dialog asks whether to replace an existing file.
    static void PrepareSaveAsDialog(QFileDialog& dialog, const QString& suggestion);

    void InvalidateMagnifier();
    void SetHelpPaths(const HelpPaths& paths) { m_helpPaths = paths; }
    // Opens help pages; the system's browser unless tests put something else.
    std::function<bool(const QUrl&)> openUrl;
    // Called after a command that may have changed much of the model at once (a photo load,
    // the automatic fit), so that a recovery copy follows soon.
    std::function<void()> afterLargeOperation;

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateBars();
    void OnCreateClient();
    void CreateMagnifier();
    void PrepareView(QWidget* view);
    void InstallFilePrompts();
    void WatchForStateChanges();
    bool IsInView(const QObject* object) const;
    // The commands' runs and states, by menu.
    void BindCommands();
    void BindFileCommands();
    void BindViewCommands();
    void BindModelCommands();
    void BindWindowCommands();
    void ToggleMagnifier();
    void CyclePane(int step);
    void OpenHelpPage(const QString& path);
    void UpdateTitle();
    void UpdateRecentFiles();
    void UpdateIndicators();
    void LargeOperationDone();
    void OnFocusChanged(QWidget* now);

    // The Window menu's steps.
    int HiddenPane(SplitterId splitter) const override;
    void HidePane(SplitterId splitter, int pane) override;
    void ShowHiddenPane(SplitterId splitter) override;
    void SwitchOuterView(int view) override;

    CVisomorfDoc& m_doc;
    MainFrameViews m_views;
    RecentFileList m_recent;
    FileCommands m_files;
    CViewActivation m_activation;
    CommandRegistry m_registry;
    CommandActions* m_commands = nullptr;
    QTimer m_stateRefresh;
    std::unique_ptr<CDocumentView> m_documentWatch;
    QToolBar* m_toolbar = nullptr;
    QLabel* m_indicators[3] = {};
    CSplitterWndEx* m_outer = nullptr;
    CSplitterWndEx* m_inner = nullptr;
    QPointer<QWidget> m_front, m_side, m_innerSide, m_view3D;
    QPointer<QWidget> m_magnifier;
    HelpPaths m_helpPaths;
};

} // namespace vm
