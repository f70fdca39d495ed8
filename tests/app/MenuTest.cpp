// The main window's menus, toolbar and keys: the whole menu tree against the table below, the
// accelerators, and command states that follow the document.
#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CommandRegistry.h"
#include "app/CommandTable.h"
#include "persistence/DocumentIO.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

namespace vm {
namespace {

// One line per entry: "-" a separator, ">text" opens a submenu, "<" closes it, otherwise
// "id text".
const char* const kMenuTree[] = {
    ">&File",
    "57600 &New\tCtrl+N",
    "57601 &Open...\tCtrl+O",
    "57603 &Save\tCtrl+S",
    "57604 Save &As...",
    "-",
    "32771 &Export...",
    "-",
    "57616 Recent File",
    "-",
    "57665 E&xit",
    "<",
    ">&Edit",
    "57643 &Undo\tCtrl+Z",
    "57644 &Redo\tCtrl+Y",
    "-",
    ">&Edit in 3D window",
    "32807 &On\tCtrl+M",
    "32808 &Fix direction\tCtrl+D",
    "32809 &Reset modifications",
    "-",
    "32810 &Settings...",
    "<",
    "<",
    ">&View",
    "32772 &Box\tCtrl+B",
    "32773 &Features\tCtrl+F",
    "-",
    ">&Points",
    "32774 &All",
    "32775 &More",
    "32776 &Less",
    "32777 &No",
    "<",
    "-",
    "32778 Blend &Zone",
    "-",
    "32779 &Wireframe",
    "32780 So&lid",
    "-",
    "32781 Li&ghting",
    "-",
    "32782 O&rthogonal",
    "32783 P&erspective",
    "-",
    ">Model &Detail",
    "32784 &High\tCtrl+3",
    "32785 &Medium\tCtrl+2",
    "32786 &Low\tCtrl+1",
    "<",
    "-",
    "32806 &Subdivision settings...",
    "-",
    "32822 Frame &Head\tHome",
    "32787 Zoom &In",
    "32788 Zoom &Out",
    "-",
    "32789 &Magnifier",
    "-",
    "59392 &Toolbar",
    "59393 &Status Bar",
    "<",
    ">Model",
    "32790 Load &Front...\tF3",
    "32791 Load &Side...\tF4",
    "-",
    "32821 Fit &Automatically",
    "32823 &Match Side Photo to Front",
    "-",
    "32792 &Left Side",
    "<",
    ">Window",
    "32793 &Front",
    "32797 Front &and Side",
    "32794 &Side",
    "-",
    "32798 Fro&nt and 3D",
    "32799 Si&de and 3D",
    "32795 3&D",
    "-",
    "32796 A&ll",
    "<",
    ">&Help",
    "57670 &Help",
    "32820 &Video Tutorial",
    "-",
    "57664 &About Visomorf...",
    "<",
};

// The menu as lines of the same form, from the real widgets.
void Describe(const QMenu& menu, QStringList& lines) {
    lines << QStringLiteral(">") + menu.title();
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            lines << QStringLiteral("-");
        } else if (action->menu()) {
            Describe(*action->menu(), lines);
        } else if (action->isVisible()) {
            lines << QStringLiteral("%1 %2").arg(action->data().toUInt()).arg(action->text());
        }
    }
    lines << QStringLiteral("<");
}

class MainFrameCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(doc.OnNewDocument());
        frame = std::make_unique<CMainFrame>(doc, test::TestViews());
        frame->resize(800, 600);
        frame->show();
        frame->activateWindow();
        // Shortcuts reach only the active window; on a loaded machine the display takes a while.
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    }

    // Presses keys in the window as the user would, so that shortcuts take them.
    void Press(const char* keys) {
        const QKeySequence sequence(QLatin1String(keys), QKeySequence::PortableText);
        QTest::keySequence(frame.get(), sequence);
        QApplication::processEvents();
    }

    // An undoable step: the front box moved.
    void MoveBox() {
        doc.SaveSnapshot();
        const Box b = doc.box[0];
        doc.SetBox(0, b.left + 10, b.top, b.right + 10, b.bottom);
        doc.CommitChange();
        doc.SetModifiedFlag(true);
    }

    test::ScratchSettings settings;
    CVisomorfDoc doc;
    std::unique_ptr<CMainFrame> frame;
};

TEST_F(MainFrameCommands, MenuTreeMatchesTheTableToTheLetter) {
    QStringList actual;
    for (QAction* top : frame->menuBar()->actions()) {
        ASSERT_NE(top->menu(), nullptr);
        Describe(*top->menu(), actual);
    }
    QStringList expected;
    for (const char* line : kMenuTree) {
        expected << QString::fromUtf8(line);
    }
    EXPECT_EQ(actual.join('\n').toStdString(), expected.join('\n').toStdString());
}

TEST_F(MainFrameCommands, EveryAcceleratorReachesItsCommandsAction) {
    const std::pair<const char*, uint32_t> keys[] = {
        {"Ctrl+1", 32800}, {"Ctrl+2", 32802},
        {"Ctrl+3", 32803}, {"Ctrl+M", 32807},
        {"Ctrl+D", 32808}, {"Shift+Alt+Backspace", 57644},
        {"Ctrl+Y", 57644}, {"Alt+Backspace", 57643},
        {"Ctrl+Z", 57643}, {"Ctrl+N", 57600},
        {"Ctrl+O", 57601}, {"Ctrl+S", 57603},
        {"F3", 32790},     {"F4", 32791},
        {"F6", 57680},     {"Shift+F6", 57681},
        {"Ctrl+B", 32772}, {"Ctrl+F", 32773},
        {"Home", 32822}};
    for (const auto& [text, id] : keys) {
        QAction* action = frame->Action(id);
        ASSERT_NE(action, nullptr) << text;
        EXPECT_TRUE(action->shortcuts().contains(QKeySequence(QLatin1String(text))))
            << text << " on " << id;
    }
    // The detail items show their keys but the keys send their own ids.
    EXPECT_TRUE(frame->Action(32786)->shortcuts().isEmpty());
    EXPECT_TRUE(frame->Action(32784)->shortcuts().isEmpty());
}

TEST_F(MainFrameCommands, CtrlOneSetsLowWithTheLowItemsMark) {
    frame->OnCommand(32784); // High
    EXPECT_EQ(doc.modelDetail, High);
    EXPECT_TRUE(frame->Action(32784)->isChecked());
    Press("Ctrl+1");
    EXPECT_EQ(doc.modelDetail, Low);
    EXPECT_TRUE(frame->Action(32786)->isChecked());
    EXPECT_FALSE(frame->Action(32784)->isChecked());
    Press("Ctrl+2");
    EXPECT_EQ(doc.modelDetail, Medium);
    EXPECT_TRUE(frame->Action(32785)->isChecked());
}

TEST_F(MainFrameCommands, AltBackspaceUndoesAndShiftAltBackspaceRedoes) {
    const float left = doc.box[0].left;
    MoveBox();
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->Action(57643)->isEnabled());
    Press("Alt+Backspace");
    EXPECT_EQ(doc.box[0].left, left);
    EXPECT_TRUE(frame->Action(57644)->isEnabled());
    Press("Shift+Alt+Backspace");
    EXPECT_EQ(doc.box[0].left, left + 10);
    Press("Ctrl+Z");
    EXPECT_EQ(doc.box[0].left, left);
    Press("Ctrl+Y");
    EXPECT_EQ(doc.box[0].left, left + 10);
}

TEST_F(MainFrameCommands, StatesFollowTheDocumentAndADrag) {
    EXPECT_FALSE(frame->Action(57643)->isEnabled()); // empty history
    EXPECT_FALSE(frame->Action(57644)->isEnabled());
    EXPECT_FALSE(frame->Action(32792)->isEnabled()); // Left Side, always
    EXPECT_FALSE(frame->Action(32787)->isEnabled()); // Zoom In / Out, always
    EXPECT_FALSE(frame->Action(32788)->isEnabled());
    EXPECT_FALSE(frame->Action(32771)->isEnabled()); // no export bound
    doc.leftSide = true;
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->Action(32792)->isChecked());
    EXPECT_FALSE(frame->Action(32792)->isEnabled());

    MoveBox();
    auto* view = dynamic_cast<test::TestView*>(frame->FrontView());
    view->dragging = true;
    frame->UpdateCommandUI();
    for (uint32_t id : {57643u, 57600u, 57601u, 32790u, 32791u}) {
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    }
    const float left = doc.box[0].left;
    Press("Ctrl+Z"); // refused while the view drags
    EXPECT_EQ(doc.box[0].left, left);
    view->dragging = false;
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->Action(57643)->isEnabled());

    // Radio marks for the projection and the solid item; the toolbar shares the actions.
    frame->OnCommand(32783);
    EXPECT_TRUE(frame->Action(32783)->isChecked());
    EXPECT_FALSE(frame->Action(32782)->isChecked());
    EXPECT_NE(frame->Action(32783)->actionGroup(), nullptr);
    frame->OnCommand(32772);
    EXPECT_FALSE(doc.showBox);
    EXPECT_FALSE(frame->Action(32772)->isChecked());
}

// Zoom In, Zoom Out and Frame Head go to the views; Save and Save As wait while a view drags.
TEST_F(MainFrameCommands, ViewCommandsReachTheActiveViewAndSaveWaitsForADrag) {
    MainFrameViews views = test::TestViews();
    QStringList calls;
    views.zoomView = [&calls](QWidget* view, int notches) {
        calls << view->windowTitle() + QString::number(notches);
        return true;
    };
    views.frameHead = [&calls](QWidget* view) { calls << "frame " + view->windowTitle(); };
    frame.reset(); // its views leave the document before the next frame's arrive
    frame = std::make_unique<CMainFrame>(doc, views);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    EXPECT_TRUE(frame->Action(32787)->isEnabled()); // not greyed over a photo view
    frame->OnCommand(32787);
    frame->Activation().Activate(frame->View3D());
    frame->OnCommand(32788);
    Press("Home");
    EXPECT_EQ(calls, (QStringList{"Front View1", "3D View-1", "frame 3D View"}));

    MoveBox();
    frame->Files().chooseSavePath = [this](const QString&) { return settings.Path("x.vmf"); };
    dynamic_cast<test::TestView*>(frame->FrontView())->dragging = true;
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->Action(57603)->isEnabled());
    EXPECT_FALSE(frame->Action(57604)->isEnabled());
    // Called anyway: nothing written, the work stays modified.
    EXPECT_FALSE(frame->Files().SaveAs());
    EXPECT_FALSE(OnSaveDocument(doc, settings.Path("x.vmf")));
    EXPECT_FALSE(QFile::exists(settings.Path("x.vmf")));
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(MainFrameCommands, ToolbarAndStatusBarShowTheirCommandsAndToggle) {
    QStringList buttons;
    for (QAction* action : frame->ToolBar()->actions()) {
        buttons << (action->isSeparator() ? QStringLiteral("|")
                                          : QString::number(action->data().toUInt()));
    }
    EXPECT_EQ(buttons.join(' '), "57600 57601 57603 | 57643 57644 | 32772 32773 | 32821 | "
                                 "32776 32775 | 57664");
    // Fitting needs a handler and a photo to work on.
    EXPECT_FALSE(frame->Action(32821)->isEnabled());
    EXPECT_EQ(frame->Action(32781)->statusTip(), "Turn on or off lighting for 3D model");
    EXPECT_EQ(frame->Action(32781)->toolTip(), "Toggle lighting for 3D model");
    EXPECT_EQ(frame->Action(57600)->toolTip(), "New");
    EXPECT_EQ(frame->Action(32772)->toolTip(), "Box");
    EXPECT_TRUE(frame->Action(32779)->statusTip().isEmpty());
    auto* ready = frame->statusBar()->findChild<QLabel*>(QStringLiteral("readyPane"));
    ASSERT_NE(ready, nullptr);
    EXPECT_EQ(ready->text(), "Ready");
    for (const char* name : {"indicator_CAP", "indicator_NUM", "indicator_SCRL"}) {
        EXPECT_NE(frame->statusBar()->findChild<QLabel*>(QLatin1String(name)), nullptr);
    }

    EXPECT_TRUE(frame->Action(59392)->isChecked());
    frame->OnCommand(59392);
    EXPECT_FALSE(frame->ToolBar()->isVisible());
    EXPECT_FALSE(frame->Action(59392)->isChecked());
    frame->OnCommand(59393);
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(frame->Action(59393)->isChecked());
    frame->OnCommand(59392);
    frame->OnCommand(59393);
    EXPECT_TRUE(frame->ToolBar()->isVisible());
    EXPECT_TRUE(frame->statusBar()->isVisible());
}

TEST_F(MainFrameCommands, UpdatesAtEveryIdlePeriodLetTheEventLoopRest) {
    doc.SetModifiedFlag(true); // a modified title too
    int idlePeriods = 0;
    auto* dispatcher = QAbstractEventDispatcher::instance();
    const auto connection =
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, frame.get(), [&] {
            ++idlePeriods;
            frame->UpdateCommandUI();
        });
    QEventLoop loop;
    QTimer::singleShot(400, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(connection);
    // An update that wakes the loop runs hundreds of times; a loaded machine delivers a few
    // dozen events of its own.
    EXPECT_LT(idlePeriods, 60);
    EXPECT_TRUE(frame->isWindowModified());
}

// Without any idle update: an edit the document announces, a drag's press and release in a
// view, and a change of the active view each bring the states up to date once events run.
TEST_F(MainFrameCommands, StatesFollowDocumentDragAndActiveViewWithoutIdleUpdates) {
    auto settle = [] {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    };
    EXPECT_FALSE(frame->Action(57643)->isEnabled());
    MoveBox();
    doc.UpdateAllViews(); // as a view does after its edit
    settle();
    EXPECT_TRUE(frame->Action(57643)->isEnabled());
    EXPECT_TRUE(frame->isWindowModified());

    auto* view = dynamic_cast<test::TestView*>(frame->FrontView());
    view->dragging = true;
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    settle();
    for (uint32_t id : {57643u, 57600u, 57601u, 57603u, 32790u}) {
        EXPECT_FALSE(frame->Action(id)->isEnabled()) << id;
    }
    view->dragging = false; // a click that changed nothing: the document hears of nothing
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, 10));
    settle();
    for (uint32_t id : {57643u, 57600u, 57601u, 57603u, 32790u}) {
        EXPECT_TRUE(frame->Action(id)->isEnabled()) << id;
    }

    MainFrameViews views = test::TestViews();
    views.zoomView = [](QWidget*, int) { return true; };
    frame.reset();
    frame = std::make_unique<CMainFrame>(doc, views);
    EXPECT_TRUE(frame->Action(32787)->isEnabled());
    frame->Activation().Activate(nullptr);
    settle();
    EXPECT_FALSE(frame->Action(32787)->isEnabled());
    frame->Activation().Activate(frame->View3D());
    settle();
    EXPECT_TRUE(frame->Action(32788)->isEnabled());
}

// The registry against the menus, the toolbar and the keys: every command the user can reach
// does something, no key belongs to two commands, and unknown ids are refused.
TEST_F(MainFrameCommands, EveryReachableCommandIsBoundOnceWithKeysOfItsOwn) {
    const CommandRegistry& commands = frame->Commands();
    EXPECT_EQ(commands.Ids().size(), CommandTexts().size()); // no id twice in the table
    QMap<QString, uint32_t> owners;
    for (uint32_t id : commands.Ids()) {
        const Command* command = commands.Find(id);
        ASSERT_NE(command, nullptr) << id;
        EXPECT_TRUE(static_cast<bool>(command->run)) << id << " does nothing";
        EXPECT_EQ(frame->Action(id)->data().toUInt(), id);
        for (const QString& key : command->keys) {
            EXPECT_FALSE(QKeySequence(key, QKeySequence::PortableText).isEmpty())
                << key.toStdString();
            EXPECT_FALSE(owners.contains(key))
                << key.toStdString() << " on " << owners.value(key) << " and " << id;
            owners.insert(key, id);
        }
        // A key the menu text shows is the command's own, or its twin's (the detail items).
        const QString shown = command->text.section(QLatin1Char('\t'), 1, 1);
        if (!shown.isEmpty() && !command->keys.isEmpty()) {
            EXPECT_EQ(command->keys.first(), shown) << id;
        }
    }
    for (uint32_t id : ToolbarCommands()) {
        EXPECT_TRUE(id == 0 || commands.Find(id)) << id;
    }
    EXPECT_FALSE(frame->OnCommand(12345));
    EXPECT_EQ(frame->GetCommandState(12345), CommandState{});
    CommandRegistry registry;
    EXPECT_FALSE(registry.Bind(12345, [] {}));
    EXPECT_FALSE(registry.Run(12345));
    EXPECT_TRUE(registry.Run(57600)); // known but not bound: nothing happens
}

TEST_F(MainFrameCommands, StatusBarShowsThePromptOfTheItemUnderTheMouse) {
    auto* menu = frame->findChild<QMenu*>(QStringLiteral("menu_View"));
    ASSERT_NE(menu, nullptr);
    QMenuBar* bar = frame->menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(menu->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    // The message under the mouse once the menu has taken the hover. Menus take a hover only
    // from a move that goes somewhere, and on a busy machine a move can arrive before the menu
    // attends to it, so the moves repeat for up to a second until the expected text shows.
    auto hover = [&](uint32_t id, const QString& expected) {
        const QRect item = menu->actionGeometry(frame->Action(id));
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QTest::mouseMove(menu, item.center() - QPoint(20, 0));
            QTest::mouseMove(menu, item.center());
            QApplication::processEvents();
            if (frame->statusBar()->currentMessage() == expected || waited.elapsed() > 1000) {
                return frame->statusBar()->currentMessage();
            }
            QTest::qWait(20);
        }
    };
    EXPECT_EQ(hover(32781, "Turn on or off lighting for 3D model"),
              "Turn on or off lighting for 3D model");
    // Wireframe has no prompt: an empty pane, not "Ready".
    EXPECT_EQ(hover(32779, " "), " ");
    EXPECT_EQ(hover(59392, "Show or hide the toolbar"), "Show or hide the toolbar");
    menu->hide();
    QApplication::processEvents();
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty()); // "Ready" shows again
}

TEST_F(MainFrameCommands, HelpPagesOpenOnlyWhenThereAndFailSilently) {
    QList<QUrl> opened;
    frame->openUrl = [&opened](const QUrl& url) {
        opened << url;
        return true;
    };
    const QString page = settings.Path(QStringLiteral("visomorf.htm"));
    QFile(page).open(QIODevice::WriteOnly);
    frame->SetHelpPaths({page, QString()});
    frame->OnCommand(57670);
    frame->OnCommand(32820); // no tutorial path: nothing
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(page));
    frame->SetHelpPaths({settings.Path(QStringLiteral("missing.htm")), page});
    frame->OnCommand(57670); // a missing manual: nothing, and no message
    EXPECT_EQ(opened.size(), 1);
    frame->OnCommand(32820);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.last(), QUrl::fromLocalFile(page));
    EXPECT_TRUE(settings.failures.isEmpty());
}

} // namespace
} // namespace vm
