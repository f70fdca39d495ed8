// A user's session in the real main window with its real views, by mouse and keyboard alone:
// a new document, two photos, drags on both photo views, undo and redo, a push/pull click, a
// change of detail, save, open again, export. Only the file dialogs and the save question are
// answered by the test.
#include "AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CommandTable.h"
#include "app/IdleRedraw3D.h"
#include "app/Settings.h"
#include "views/export/CExportDlg.h"
#include "views/photo/BlendZoneGeometry.h"
#include "views/photo/CFrontView.h"
#include "views/photo/CSideView.h"
#include "views/photo/OverlayHitTest.h"
#include "views/view3d/C3DView.h"
#include "views/view3d/PushPullEditor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace vm {
namespace {

constexpr uint32_t kUndo = static_cast<uint32_t>(CommandId::Undo);
constexpr uint32_t kRedo = static_cast<uint32_t>(CommandId::Redo);

// Everything the user edits, compared exactly: a restored state must be the same floats.
struct ModelState {
    UndoSnapshot s;
    // What differs from o, for the failure message; empty when nothing does. The push/pull
    // record belongs to the session, not to the file: a file opened again starts without it.
    std::string Differences(const ModelState& o, bool withPushPullRecord = true) const {
        const auto same = [](const std::vector<Vec2>& a, const std::vector<Vec2>& b) {
            return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                              [](Vec2 u, Vec2 v) { return u.x == v.x && u.y == v.y; });
        };
        std::string differences;
        const auto note = [&](bool equal, const char* what) {
            differences += equal ? "" : std::string(" ") + what;
        };
        for (int p = 0; p < kPhotoCount; ++p) {
            note(s.boxes[p] == o.s.boxes[p], p == Front ? "front-box" : "side-box");
            note(same(s.pointPositions[p], o.s.pointPositions[p]),
                 p == Front ? "front-points" : "side-points");
        }
        note(s.vertices == o.s.vertices, "vertices");
        note(same(s.blendZone, o.s.blendZone), "blend-zone");
        note(s.blendZoneWidth == o.s.blendZoneWidth, "blend-width");
        note(!withPushPullRecord || s.displacements == o.s.displacements, "push-pull-record");
        return differences;
    }
};

// A photo with enough structure to see where it lies: a gradient, a grid and a dark oval.
QString MakePhoto(const QString& path, QColor tint) {
    QImage image(800, 1000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(tint.red() * x / 800, tint.green() * y / 1000, tint.blue()));
        }
    }
    QPainter painter(&image);
    painter.setPen(QPen(Qt::white, 3));
    for (int i = 0; i <= 1000; i += 100) {
        painter.drawLine(i, 0, i, 1000);
        painter.drawLine(0, i, 800, i);
    }
    painter.setBrush(QColor(60, 40, 30));
    painter.drawEllipse(QRect(220, 200, 360, 520));
    painter.end();
    return image.save(path, "JPG", 90) ? path : QString();
}

QByteArray Contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UserJourney : public ::testing::Test {
protected:
    void SetUp() override {
        // The program's start, as the application object makes it.
        const Settings programSettings(settings.Path(QStringLiteral("visomorf.ini")));
        doc = std::make_unique<CVisomorfDoc>(programSettings.initialModelDetail());
        frame = std::make_unique<CMainFrame>(*doc, ProgramViews(programSettings));
        redraw = std::make_unique<IdleRedraw3D>(*doc);
        ASSERT_TRUE(frame->Files().New());
        frame->resize(1280, 860);
        frame->show();
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get())); // keys go to the active window

        frame->Files().askSaveChanges = [this](const QString& title) {
            asked << title;
            return FileCommands::SaveAnswer::No;
        };
        frame->Files().chooseSavePath = [this](const QString&) { return savePath; };
        frame->Files().chooseOpenPath = [this] { return openPath; };
        doc->choosePhotoFile = [this](int photo) { return photoPaths[photo]; };
    }
    void TearDown() override {
        redraw.reset();
        frame.reset();
        doc.reset();
    }

    // Lets the event loop go idle once, so that command states and the title catch up as
    // they do between the user's actions.
    static void Idle() {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    void Press(const char* keys) {
        QTest::keySequence(frame.get(), QKeySequence(QLatin1String(keys)));
        Idle();
    }

    // Mouse input on a photo view's client area; photo: photo pixels.
    static QPoint At(const CImageView& view, Vec2 photo) {
        return view.Viewport().PhotoToWindow(QPointF(photo.x, photo.y));
    }
    static Vec2 PhotoAt(const CImageView& view, QPoint client) {
        const QPointF p = view.WindowToPhoto(client);
        return {static_cast<float>(p.x()), static_cast<float>(p.y())};
    }
    // A press, two moves with the button held, and a release, as a hand makes them.
    static void Drag(CImageView& view, QPoint from, QPoint by) {
        QWidget* target = view.viewport();
        QTest::mouseMove(target, from);
        QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, from);
        for (const QPoint to : {from + by / 2, from + by}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(to), target->mapToGlobal(QPointF(to)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(target, &move);
        }
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, from + by);
        Idle();
    }

    // Whether a press at client goes to something other than the box and the blend zone.
    bool FreeOfBoxAndBlend(const CImageView& view, QPoint client) const {
        const Vec2 p = PhotoAt(view, client);
        const float t = HitTolerance(view.Viewport().Scale());
        if (HitTestBox(doc->box[view.GetPhotoIndex()], p, t) != -1) {
            return false;
        }
        return view.GetPhotoIndex() != Side ||
               (HitTestBlendVertex(doc->blendZone, p, t) == -1 &&
                HitTestBlendLine(doc->blendZone, doc->blendZoneWidth, p, t) == -1);
    }
    // The client position of a shown point that a press picks, and the point; {-1, -1} if none.
    std::pair<QPoint, int> GrabbablePoint(const CImageView& view) const {
        const int photo = view.GetPhotoIndex();
        const float t = HitTolerance(view.Viewport().Scale());
        const QRect client = view.viewport()->rect().adjusted(10, 10, -10, -10);
        for (size_t i = 0; i < doc->points[photo].size(); ++i) {
            const QPoint at = At(view, doc->pointPositions[photo][i]);
            if (client.contains(at) && FreeOfBoxAndBlend(view, at) &&
                HitTestPoint(doc->points[photo], doc->pointPositions[photo], doc->pointsLevel,
                             PhotoAt(view, at), t) == static_cast<int>(i)) {
                return {at, static_cast<int>(i)};
            }
        }
        return {{-1, -1}, -1};
    }
    // The middle of a segment of a feature (not the head's outline) that a press picks.
    std::pair<QPoint, int> GrabbableFeature(const CImageView& view) const {
        const int photo = view.GetPhotoIndex();
        const float t = HitTolerance(view.Viewport().Scale());
        const auto& positions = doc->pointPositions[photo];
        for (size_t f = 0; f < doc->features[photo].size(); ++f) {
            if (static_cast<int>(f) == doc->wholeObjectFeature) {
                continue;
            }
            for (const auto& [a, b] : doc->features[photo][f].segments) {
                const QPoint at = At(view, {(positions[a].x + positions[b].x) / 2,
                                            (positions[a].y + positions[b].y) / 2});
                const Vec2 p = PhotoAt(view, at);
                if (FreeOfBoxAndBlend(view, at) &&
                    HitTestPoint(doc->points[photo], positions, doc->pointsLevel, p, t) == -1 &&
                    HitTestFeature(doc->features[photo], positions, doc->pointsLevel, p, t) ==
                        static_cast<int>(f)) {
                    return {at, static_cast<int>(f)};
                }
            }
        }
        return {{-1, -1}, -1};
    }

    // Edits one photo view as the user fits a head: the box by its bottom-right handle, one
    // point and one feature. Each drag is one undo step; the state after it joins states.
    void EditPhotoView(CImageView& view, std::vector<ModelState>& states) {
        const int photo = view.GetPhotoIndex();
        const Box box = doc->box[photo];
        Drag(view, At(view, {box.right, box.bottom}), {12, 16});
        const float s = view.Viewport().Scale();
        EXPECT_NEAR(doc->box[photo].right, box.right + 12 / s, 1e-3) << photo;
        EXPECT_NEAR(doc->box[photo].bottom, box.bottom + 16 / s, 1e-3) << photo;
        EXPECT_EQ(doc->box[photo].left, box.left) << photo;
        states.push_back(State());
        EXPECT_TRUE(Modified());
        EXPECT_TRUE(UndoEnabled());

        const auto [pointAt, point] = GrabbablePoint(view);
        ASSERT_GE(point, 0) << "no point to grab on photo " << photo;
        const Vec2 p = doc->pointPositions[photo][point];
        Drag(view, pointAt, {-9, 7});
        EXPECT_NEAR(doc->pointPositions[photo][point].x, p.x - 9 / s, 1e-3) << photo;
        EXPECT_NEAR(doc->pointPositions[photo][point].y, p.y + 7 / s, 1e-3) << photo;
        states.push_back(State());

        const auto [featureAt, feature] = GrabbableFeature(view);
        ASSERT_GE(feature, 0) << "no feature to grab on photo " << photo;
        const int own = doc->features[photo][feature].segments.front().first;
        const Vec2 f = doc->pointPositions[photo][own];
        Drag(view, featureAt, {6, -5});
        EXPECT_GT(doc->pointPositions[photo][own].x, f.x + 1) << photo;
        EXPECT_LT(doc->pointPositions[photo][own].y, f.y - 1) << photo;
        states.push_back(State());
        EXPECT_FALSE(view.IsDragging());
    }

    ModelState State() const {
        ModelState state;
        doc->CaptureState(state.s);
        return state;
    }
    bool Modified() const {
        return frame->isWindowModified() && frame->windowHandle()->title().contains(u'*');
    }
    bool UndoEnabled() const { return frame->Action(kUndo)->isEnabled(); }

    test::ScratchSettings settings;
    std::unique_ptr<CVisomorfDoc> doc;
    std::unique_ptr<CMainFrame> frame;
    std::unique_ptr<IdleRedraw3D> redraw;
    QString photoPaths[kPhotoCount];
    QString savePath, openPath;
    QStringList asked;
};

TEST_F(UserJourney, FromNewDocumentToSavedOpenedAndExportedModel) {
    QElapsedTimer clock;
    clock.start();
    auto* front = qobject_cast<CFrontView*>(frame->FrontView());
    auto* view3D = qobject_cast<C3DView*>(frame->View3D());
    ASSERT_NE(front, nullptr);
    ASSERT_NE(view3D, nullptr);
    CSideView* side = nullptr;
    for (QWidget* view : frame->VisibleViews()) {
        side = side ? side : qobject_cast<CSideView*>(view);
    }
    ASSERT_NE(side, nullptr) << "the first layout shows a side view";
    ASSERT_TRUE(frame->VisibleViews().contains(front));
    ASSERT_TRUE(frame->VisibleViews().contains(view3D));
    Idle();
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(UndoEnabled());
    EXPECT_TRUE(frame->windowHandle()->title().startsWith(QStringLiteral("Untitled")));

    // ---- Two photos, by F3 and F4 ----
    photoPaths[Front] = MakePhoto(settings.Path(QStringLiteral("front.jpg")), QColor(250, 180, 90));
    photoPaths[Side] = MakePhoto(settings.Path(QStringLiteral("side.jpg")), QColor(90, 200, 240));
    ASSERT_FALSE(photoPaths[Side].isEmpty());
    Press("F3");
    Press("F4");
    for (int photo : {Front, Side}) {
        EXPECT_EQ(doc->photos[photo].size(), QSize(800, 1000)) << photo;
    }
    EXPECT_TRUE(Modified());
    EXPECT_FALSE(UndoEnabled()); // a photo is not an undo step
    Press("Ctrl+F");             // the features and their points, to drag them
    ASSERT_TRUE(doc->showFeatures);

    // ---- Drags on both photo views and the blend zone: seven undo steps ----
    std::vector<ModelState> states{State()};
    EditPhotoView(*front, states);
    EditPhotoView(*side, states);
    const Vec2 a = doc->blendZone[1], b = doc->blendZone[2];
    const QPoint centre = At(*side, {(a.x + b.x) / 2, (a.y + b.y) / 2});
    const std::vector<Vec2> zoneBefore = doc->blendZone;
    Drag(*side, centre, {-14, 0});
    const float s = side->Viewport().Scale();
    for (size_t i = 0; i < zoneBefore.size(); ++i) {
        EXPECT_NEAR(doc->blendZone[i].x, zoneBefore[i].x - 14 / s, 1e-3) << i;
        EXPECT_EQ(doc->blendZone[i].y, zoneBefore[i].y) << i;
    }
    states.push_back(State());
    ASSERT_EQ(states.size(), 8u);
    EXPECT_EQ(doc->History().Size(), 7u);
    EXPECT_TRUE(UndoEnabled());

    // ---- Undo all and redo all, by both keys of each; every step lands exactly ----
    for (int step = 6; step >= 0; --step) {
        Press(step % 2 ? "Ctrl+Z" : "Alt+Backspace");
        EXPECT_EQ(State().Differences(states[step]), "") << "undo to " << step;
    }
    EXPECT_FALSE(UndoEnabled());
    EXPECT_TRUE(frame->Action(kRedo)->isEnabled());
    for (size_t step = 1; step < states.size(); ++step) {
        Press(step % 2 ? "Ctrl+Y" : "Shift+Alt+Backspace");
        EXPECT_EQ(State().Differences(states[step]), "") << "redo to " << step;
    }
    EXPECT_FALSE(frame->Action(kRedo)->isEnabled());

    // ---- A first save, so that the push below has to mark the document again ----
    savePath = settings.Path(QStringLiteral("journey"));
    Press("Ctrl+S");
    const QString file = savePath + QStringLiteral(".vmf");
    ASSERT_TRUE(QFileInfo::exists(file));
    EXPECT_FALSE(Modified());
    EXPECT_TRUE(frame->windowHandle()->title().startsWith(QStringLiteral("journey.vmf")));

    // ---- Edit mode and a push on the head ----
    Press("Ctrl+M");
    ASSERT_TRUE(view3D->EditMode());
    const QPoint head(view3D->width() / 2, view3D->height() / 2);
    ASSERT_TRUE(
        PushPullEditor::Pick(*doc, view3D->CurrentTransforms(), head.x(), head.y()).has_value())
        << "the head lies under the middle of the 3D view";
    const ModelState beforePush = State();
    QTest::mouseClick(view3D, Qt::LeftButton, Qt::ControlModifier, head);
    Idle();
    const ModelState pushed = State();
    EXPECT_NE(pushed.Differences(beforePush), "");
    EXPECT_TRUE(Modified());
    EXPECT_TRUE(UndoEnabled());
    // One step: one undo takes exactly the push back, and redo brings it again.
    Press("Ctrl+Z");
    EXPECT_EQ(State().Differences(beforePush), "");
    Press("Ctrl+Y");
    EXPECT_EQ(State().Differences(pushed), "");

    // ---- High detail ----
    Press("Ctrl+3");
    EXPECT_EQ(doc->modelDetail, High);
    EXPECT_TRUE(frame->Action(static_cast<uint32_t>(CommandId::DetailHigh))->isChecked());
    EXPECT_GT(doc->displayedMesh->vertices.size(), doc->editableMesh->vertices.size());

    // ---- Save, a new document, and open the file again ----
    const ModelState saved = State();
    savePath.clear(); // a named document saves without asking for a name
    const QByteArray firstSave = Contents(file);
    Press("Ctrl+S");
    EXPECT_FALSE(Modified());
    EXPECT_NE(Contents(file), firstSave) << "the push and the detail reach the file";
    Press("Ctrl+N");
    EXPECT_TRUE(asked.isEmpty()) << "saved: nothing to ask";
    EXPECT_NE(State().Differences(saved), "");
    EXPECT_FALSE(UndoEnabled());
    openPath = file;
    Press("Ctrl+O");
    EXPECT_EQ(State().Differences(saved, false), "") << "the same model comes back";
    EXPECT_EQ(doc->modelDetail, High);
    EXPECT_EQ(doc->GetPathName(), file);
    EXPECT_FALSE(Modified());
    EXPECT_FALSE(UndoEnabled()) << "an opened document starts a new history";
    EXPECT_TRUE(frame->Action(cmd::kRecentFile)->text().contains(QStringLiteral("journey.vmf")));
    for (int photo : {Front, Side}) {
        EXPECT_EQ(doc->photos[photo].size(), QSize(800, 1000)) << photo;
    }

    // ---- File > Export from the menu bar, the dialog's defaults confirmed with Return ----
    // The dialog runs its own event loop; a timer of this scope answers it once it shows.
    bool answered = false;
    QTimer answerer;
    answerer.setInterval(20);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CExportDlg*>(QApplication::activeModalWidget());
        auto* name =
            dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name) {
            return;
        }
        answerer.stop();
        EXPECT_EQ(name->text(), QStringLiteral("journey")) << "the document's name proposed";
        answered = true;
        QTest::keyClick(name, Qt::Key_Return);
    });
    answerer.start();
    QTest::keyClick(frame.get(), Qt::Key_F, Qt::AltModifier);
    Idle();
    auto* fileMenu = frame->findChild<QMenu*>(QStringLiteral("menu_File"));
    ASSERT_NE(fileMenu, nullptr);
    ASSERT_TRUE(fileMenu->isVisible()) << "Alt+F opens the File menu";
    QTest::keyClick(fileMenu, Qt::Key_E);
    Idle();
    EXPECT_TRUE(answered);
    const QDir dir(settings.dir.path());
    for (const char* suffix : {"obj", "mtl", "jpg"}) {
        const QStringList found = dir.entryList({QStringLiteral("journey*.") + suffix});
        EXPECT_EQ(found.size(), 1) << "exported ." << suffix;
        for (const QString& name : found) {
            EXPECT_GT(QFileInfo(dir.filePath(name)).size(), 0) << name.toStdString();
        }
    }
    const QStringList textures = dir.entryList({QStringLiteral("journey*.jpg")});
    EXPECT_EQ(QImage(dir.filePath(textures.value(0))).size(), QSize(1024, 1024))
        << "the dialog's default texture size";
    EXPECT_EQ(doc->modelDetail, High) << "the export leaves the document's detail";
    EXPECT_FALSE(Modified()) << "an export changes nothing in the document";
    EXPECT_TRUE(settings.failures.isEmpty()) << settings.failures.join('\n').toStdString();
    EXPECT_LT(clock.elapsed(), 20000);
}

} // namespace
} // namespace vm
