#include "app/CMainFrame.h"

#include "app/CSplitterWndEx.h"
#include "app/CommandActions.h"
#include "app/CommandTable.h"
#include "app/LockKeys.h"
#include "document/CVisomorfDoc.h"
#include "views/FailureReport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

namespace vm {

namespace {

const char* const kFileFilter = "Visomorf Files (*.vmf)";
const char* const kAppTitle = "Visomorf";

// Tells the window that the document changed, so that the commands' states follow.
class DocumentWatch : public CDocumentView {
public:
    explicit DocumentWatch(std::function<void()> changed) : m_changed(std::move(changed)) {}
    void OnUpdate(CDocumentView*, int) override { m_changed(); }

private:
    std::function<void()> m_changed;
};

} // namespace

CMainFrame::CMainFrame(CVisomorfDoc& doc, MainFrameViews views, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_views(std::move(views)), m_files(doc, m_recent) {
    openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    setObjectName(QStringLiteral("mainFrame"));
    setAcceptDrops(true);
    InstallFailureReporter(m_doc, this);
    if (m_views.installDialogs) {
        m_views.installDialogs(m_doc, this);
    }
    InstallFilePrompts();
    BindCommands();
    m_commands = new CommandActions(
        m_registry, [this](uint32_t id) { OnCommand(id); }, this);
    m_commands->BuildMenus(*menuBar());
    CreateBars();
    m_commands->AttachKeyOnlyActions(*this);
    connect(m_commands, &CommandActions::MenuAboutToShow, this, [this] { UpdateRecentFiles(); });
    OnCreateClient();
    CreateMagnifier();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { OnFocusChanged(now); });
    qApp->installEventFilter(this);
    WatchForStateChanges();
    UpdateCommandUI();
    UpdateIndicators();
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    m_doc.RemoveView(m_documentWatch.get());
    m_doc.reportFailure = nullptr;
}

void CMainFrame::CreateBars() {
    m_toolbar = addToolBar(QStringLiteral("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("toolbar"));
    m_toolbar->setAllowedAreas(Qt::AllToolBarAreas);
    m_commands->BuildToolbar(*m_toolbar);

    auto* ready = new QLabel(QStringLiteral("Ready"));
    ready->setObjectName(QStringLiteral("readyPane"));
    statusBar()->setObjectName(QStringLiteral("statusBar"));
    statusBar()->addWidget(ready, 1);
    const char* const names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("indicator_%1").arg(QLatin1String(names[i])));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(names[i]) + 10);
        statusBar()->addPermanentWidget(label);
        m_indicators[i] = label;
    }
}

void CMainFrame::PrepareView(QWidget* view) {
    if (view && view->focusPolicy() == Qt::NoFocus) {
        view->setFocusPolicy(Qt::ClickFocus);
    }
}

// Two splitters, four views; the Window menu only hides and shows them afterwards.
void CMainFrame::OnCreateClient() {
    auto creator = [this](const MainFrameViews::ViewCreator& create, QPointer<QWidget>& kept) {
        return [this, create, &kept](QWidget* parent) -> QWidget* {
            kept = create ? create(m_doc, parent) : nullptr;
            PrepareView(kept);
            return kept;
        };
    };
    m_outer = new CSplitterWndEx(true, m_activation, this);
    m_outer->setObjectName(QStringLiteral("outerSplitter"));
    setCentralWidget(m_outer);
    m_outer->AddView(creator(m_views.createFront, m_front));
    m_outer->AddView(creator(m_views.createSide, m_side));
    m_inner = m_outer->CreateNested(creator(m_views.createSide, m_innerSide),
                                    creator(m_views.create3D, m_view3D));
    m_inner->setObjectName(QStringLiteral("innerSplitter"));
    if (m_outer->ViewCount() > 0) {
        m_outer->SwitchView(0);
    }
    m_activation.Activate(m_front);
}

void CMainFrame::CreateMagnifier() {
    m_magnifier = m_views.createMagnifier ? m_views.createMagnifier(this) : nullptr;
    if (!m_magnifier) {
        return;
    }
    m_magnifier->hide();
    for (QWidget* view : {m_front.data(), m_side.data(), m_innerSide.data()}) {
        if (view && m_views.attachMagnifier) {
            m_views.attachMagnifier(view, m_magnifier);
        }
    }
}

void CMainFrame::InstallFilePrompts() {
    m_files.askSaveChanges = [this](const QString& title) {
        const auto answer = QMessageBox::question(
            this, kAppTitle, QStringLiteral("Save changes to %1?").arg(title),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        return answer == QMessageBox::Yes  ? FileCommands::SaveAnswer::Yes
               : answer == QMessageBox::No ? FileCommands::SaveAnswer::No
                                           : FileCommands::SaveAnswer::Cancel;
    };
    m_files.chooseOpenPath = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Open"), QString(), kFileFilter);
    };
    m_files.chooseSavePath = [this](const QString& suggestion) {
        QFileDialog dialog(this);
        PrepareSaveAsDialog(dialog, suggestion);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return QString();
        }
        return dialog.selectedFiles().constFirst();
    };
}

void CMainFrame::PrepareSaveAsDialog(QFileDialog& dialog, const QString& suggestion) {
    dialog.setWindowTitle(QStringLiteral("Save As"));
    // Qt's own dialog adds the default suffix before it checks whether the file exists, so
    // its question about replacing a file names the file that would really be replaced.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromLatin1(kFileFilter));
    dialog.setDefaultSuffix(QStringLiteral("vmf"));
    if (!suggestion.isEmpty()) {
        dialog.selectFile(suggestion);
    }
}

QAction* CMainFrame::Action(uint32_t id) const {
    return m_commands->Action(id);
}

bool CMainFrame::OnCommand(uint32_t id) {
    const bool handled = m_registry.Run(id);
    UpdateCommandUI();
    return handled;
}

CommandState CMainFrame::GetCommandState(uint32_t id) const {
    return m_registry.State(id);
}

// The states depend on the document (its history, switches and photos, a view's drag), on the
// active view and on the window's bars; commands and menus refresh them themselves.
void CMainFrame::WatchForStateChanges() {
    m_stateRefresh.setSingleShot(true);
    m_stateRefresh.setInterval(0);
    connect(&m_stateRefresh, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    m_documentWatch = std::make_unique<DocumentWatch>([this] { UpdateCommandUISoon(); });
    m_doc.AddView(m_documentWatch.get());
    connect(&m_activation, &CViewActivation::ActiveChanged, this, &CMainFrame::UpdateCommandUISoon);
    m_files.documentChanged = [this] { UpdateCommandUI(); };
}

void CMainFrame::UpdateCommandUISoon() {
    if (!m_stateRefresh.isActive()) {
        m_stateRefresh.start();
    }
}

bool CMainFrame::IsInView(const QObject* object) const {
    const auto* widget = qobject_cast<const QWidget*>(object);
    for (QWidget* view : {m_front.data(), m_side.data(), m_innerSide.data(), m_view3D.data()}) {
        if (view && widget && (view == widget || view->isAncestorOf(widget))) {
            return true;
        }
    }
    return false;
}

void CMainFrame::LargeOperationDone() {
    if (afterLargeOperation) {
        afterLargeOperation();
    }
}

void CMainFrame::UpdateCommandUI() {
    m_commands->UpdateAll();
    UpdateRecentFiles();
    UpdateTitle();
}

void CMainFrame::UpdateTitle() {
    setWindowTitle(m_files.Title() + QStringLiteral("[*] - ") + kAppTitle);
    // Setting the same state again would still retitle the window and wake the event loop.
    if (isWindowModified() != m_doc.IsModified()) {
        setWindowModified(m_doc.IsModified());
    }
}

void CMainFrame::UpdateRecentFiles() {
    const QStringList& entries = m_recent.Entries();
    for (uint32_t i = 0; i < cmd::kRecentFileCount; ++i) {
        QAction* action = Action(cmd::kRecentFile + i);
        if (!action) {
            continue;
        }
        const bool listed = static_cast<qsizetype>(i) < entries.size();
        if (listed) {
            action->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(
                QFileInfo(entries[static_cast<qsizetype>(i)]).fileName()));
            action->setStatusTip(entries[static_cast<qsizetype>(i)]);
        } else if (i == 0) {
            action->setText(QStringLiteral("Recent File"));
        }
        action->setVisible(listed || i == 0);
    }
}

void CMainFrame::UpdateIndicators() {
    const LockKeyState keys = QueryLockKeys();
    const bool on[3] = {keys.caps, keys.num, keys.scroll};
    const char* const names[3] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        m_indicators[i]->setText(on[i] ? QLatin1String(names[i]) : QString());
    }
}

void CMainFrame::ToggleMagnifier() {
    if (!m_magnifier) {
        return;
    }
    if (m_magnifier->isVisible()) {
        m_magnifier->hide();
        return;
    }
    m_magnifier->setAttribute(Qt::WA_ShowWithoutActivating);
    m_magnifier->show();
}

QRect CMainFrame::DefaultGeometry(const QRect& availableScreen) {
    QRect frame(0, 0, availableScreen.width() * 3 / 4, availableScreen.height() * 3 / 4);
    frame.moveCenter(availableScreen.center());
    return frame;
}

void CMainFrame::InvalidateMagnifier() {
    if (m_magnifier) {
        m_magnifier->update();
    }
}

QList<QWidget*> CMainFrame::VisibleViews() const {
    QList<QWidget*> views;
    for (QWidget* view : {m_outer->PaneWidget(0), m_innerSide.data(), m_view3D.data()}) {
        if (view && view->isVisibleTo(this) && view->height() > 0) {
            views.append(view);
        }
    }
    return views;
}

void CMainFrame::CyclePane(int step) {
    const QList<QWidget*> views = VisibleViews();
    if (views.isEmpty()) {
        return;
    }
    const qsizetype current = views.indexOf(m_activation.Active());
    const qsizetype count = views.size();
    const qsizetype next = current < 0 ? 0 : ((current + step) % count + count) % count;
    m_activation.Activate(views[next]);
}

// Help pages fail silently: a missing page or no browser shows nothing.
void CMainFrame::OpenHelpPage(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile() || !openUrl) {
        return;
    }
    openUrl(QUrl::fromLocalFile(path));
}

void CMainFrame::OnFocusChanged(QWidget* now) {
    for (QWidget* view : {m_front.data(), m_side.data(), m_innerSide.data(), m_view3D.data()}) {
        if (view && now && (view == now || view->isAncestorOf(now))) {
            m_activation.Activate(view);
            return;
        }
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_files.CanReplaceDocument() || !m_files.SaveModified()) {
        event->ignore();
        return;
    }
    if (m_magnifier) {
        m_magnifier->hide();
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) {
        return;
    }
    event->acceptProposedAction();
    activateWindow();
    m_files.OpenPath(urls.first().toLocalFile());
    UpdateCommandUI();
}

// A menu item without a prompt leaves the message pane empty rather than showing "Ready",
// which stands for no command under the mouse at all.
bool CMainFrame::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip &&
        static_cast<QStatusTipEvent*>(event)->tip().isEmpty()) {
        const auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        const QAction* hovered = menu ? menu->activeAction() : nullptr;
        if (hovered && !hovered->isSeparator() && !hovered->menu()) {
            statusBar()->showMessage(QStringLiteral(" "));
            return true;
        }
    }
    return QMainWindow::event(event);
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    // The lock keys change only with a key, or elsewhere while another window has the keyboard.
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyRelease || type == QEvent::KeyPress ||
        (type == QEvent::WindowActivate && watched == this)) {
        UpdateIndicators();
    }
    // A drag starts and ends with a mouse button in a view, and a click that changed nothing
    // tells the document nothing; either way the drag's end enables what it held back.
    if ((type == QEvent::MouseButtonPress || type == QEvent::MouseButtonRelease) &&
        IsInView(watched)) {
        UpdateCommandUISoon();
    }
    return QMainWindow::eventFilter(watched, event);
}

int CMainFrame::HiddenPane(SplitterId splitter) const {
    return (splitter == SplitterId::Outer ? m_outer : m_inner)->HiddenPane();
}

void CMainFrame::HidePane(SplitterId splitter, int pane) {
    if (splitter == SplitterId::Outer) {
        m_outer->HideColumn(pane);
    } else {
        m_inner->HideRow(pane);
    }
}

void CMainFrame::ShowHiddenPane(SplitterId splitter) {
    if (splitter == SplitterId::Outer) {
        m_outer->ShowColumn();
    } else {
        m_inner->ShowRow();
    }
}

void CMainFrame::SwitchOuterView(int view) {
    if (view < m_outer->ViewCount()) {
        m_outer->SwitchView(view);
    }
}

} // namespace vm
