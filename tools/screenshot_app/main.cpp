// screenshot_app OUT_DIR [LAYOUT_ID] [--size WxH] [--photos FRONT SIDE [--fit FILE]]:
// pictures of the main window (mainwindow.png), of some of its menus (menu_*.png), of its About
// box (about.png), of the splash (splash.png) and of the toolbar images enlarged eight times
// (toolbar_x8.png), to look at them without a desktop.
// Without photos the window is as the program starts it. With photos, they are loaded as F3 and
// F4 load them, and the fit file's drags are made with the mouse on the photo views, one per
// line, in photo pixels of that view's photo:
//   front|side X0 Y0 X1 Y1          a drag from (X0, Y0) to (X1, Y1)
//   box front|side LEFT TOP RIGHT BOTTOM   the box's corner handles dragged to these edges
// and lines "points N" and "features on|off" set the display switches, "autofit" runs Model > Fit
// Automatically (what it cannot fit goes to standard error); "wheel3d N" turns the
// wheel N notches away from the user over the 3D view (negative: towards), to bring the head
// nearer.
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CommandTable.h"
#include "app/MainFrameViews.h"
#include "app/Settings.h"
#include "document/CVisomorfDoc.h"
#include "views/FailureReport.h"
#include "views/photo/CImageView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Options {
    QDir out;
    uint32_t layout = 0; // 0: the layout the window starts with
    QSize size{1000, 700};
    QString photos[vm::kPhotoCount];
    QString fitFile;
};

// Takes "--name value..." out of args; false when the option lacks its values.
bool TakeOption(QStringList& args, const char* name, int count, QStringList& values) {
    const qsizetype at = args.indexOf(QLatin1String(name));
    if (at < 0) {
        return true;
    }
    if (at + count >= args.size()) {
        return false;
    }
    values = args.mid(at + 1, count);
    args.remove(at, count + 1);
    return true;
}

bool ParseOptions(QStringList args, Options& options) {
    QStringList size, photos, fit;
    if (!TakeOption(args, "--size", 1, size) || !TakeOption(args, "--photos", 2, photos) ||
        !TakeOption(args, "--fit", 1, fit) || args.isEmpty() || args.size() > 2) {
        return false;
    }
    options.out = QDir(args[0]);
    if (args.size() > 1) {
        options.layout = args[1].toUInt();
    }
    if (!size.isEmpty()) {
        const QStringList wh = size[0].split(u'x');
        options.size = wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize();
        if (options.size.isEmpty()) {
            return false;
        }
    }
    if (!photos.isEmpty()) {
        options.photos[vm::Front] = photos[0];
        options.photos[vm::Side] = photos[1];
    }
    options.fitFile = fit.value(0);
    return options.fitFile.isEmpty() || !photos.isEmpty();
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    QApplication::processEvents();
}

// A left-button drag in small steps, as a hand would make it; from, to: photo pixels.
void Drag(vm::CImageView& view, QPointF from, QPointF to) {
    QWidget* viewport = view.viewport();
    const QPoint a = view.Viewport().PhotoToWindow(from);
    const QPoint b = view.Viewport().PhotoToWindow(to);
    SendMouse(viewport, QEvent::MouseMove, a, Qt::NoButton, Qt::NoButton);
    SendMouse(viewport, QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    constexpr int kSteps = 8;
    for (int s = 1; s <= kSteps; ++s) {
        SendMouse(viewport, QEvent::MouseMove, a + (b - a) * s / kSteps, Qt::NoButton,
                  Qt::LeftButton);
    }
    SendMouse(viewport, QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
}

// Moves the box by its left edge so that its top-left corner lands on the given one, then
// drags the bottom-right handle; edges: photo pixels. A box larger than the pane may have its
// corners out of sight, but part of its left edge is always where the user can grab it.
void DragBox(vm::CImageView& view, const vm::Box& box, const QRectF& edges) {
    const QPointF visibleTop = view.WindowToPhoto(view.viewport()->rect().topLeft());
    const QPointF visibleBottom = view.WindowToPhoto(view.viewport()->rect().bottomRight());
    const double top = std::max<double>(box.top, visibleTop.y());
    const double bottom = std::min<double>(box.bottom, visibleBottom.y());
    const QPointF grab(box.left, top + (bottom - top) / 4); // clear of the handles
    Drag(view, grab, grab + edges.topLeft() - QPointF(box.left, box.top));
    Drag(view, QPointF(box.right, box.bottom), edges.bottomRight());
}

// Wheel notches over the middle of view, one event of 120 units each as a mouse wheel sends
// them.
void TurnWheel(QWidget& view, int notches) {
    const QPointF middle(view.width() / 2.0, view.height() / 2.0);
    for (int i = 0; i < std::abs(notches); ++i) {
        QWheelEvent wheel(middle, view.mapToGlobal(middle), QPoint(),
                          QPoint(0, notches > 0 ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(&view, &wheel);
    }
}

// Model > Fit Automatically; a photo it cannot fit is said on standard error, not in a box.
void FitAutomatically(vm::CMainFrame& frame) {
    const vm::FailureSink previous = vm::SetFailureSink(
        [](const QString& text) { std::fprintf(stderr, "automatic fit: %s\n", qPrintable(text)); });
    frame.OnCommand(vm::cmd::kFitAutomatically);
    vm::SetFailureSink(previous);
}

bool RunFitFile(const QString& path, vm::CVisomorfDoc& doc, vm::CImageView* views[],
                vm::CMainFrame& frame) {
    QWidget* view3D = frame.View3D();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    QTextStream in(&file);
    while (!in.atEnd()) {
        QStringList f = in.readLine().split(u' ', Qt::SkipEmptyParts);
        if (f.isEmpty() || f[0].startsWith(u'#')) {
            continue;
        }
        const bool box = f[0] == u"box";
        if (box) {
            f.removeFirst();
        }
        const int photo = f[0] == u"front" ? vm::Front : f[0] == u"side" ? vm::Side : -1;
        if (f[0] == u"autofit" && f.size() == 1) {
            FitAutomatically(frame);
        } else if (f[0] == u"points" && f.size() == 2) {
            doc.pointsLevel = f[1].toInt();
        } else if (f[0] == u"features" && f.size() == 2) {
            doc.showFeatures = f[1] == u"on";
        } else if (f[0] == u"wheel3d" && f.size() == 2 && view3D) {
            TurnWheel(*view3D, f[1].toInt());
        } else if (photo >= 0 && f.size() == 5 && views[photo]) {
            const QPointF a(f[1].toDouble(), f[2].toDouble()), b(f[3].toDouble(), f[4].toDouble());
            if (box) {
                DragBox(*views[photo], doc.box[photo], QRectF(a, b));
            } else {
                Drag(*views[photo], a, b);
            }
        } else {
            std::fprintf(stderr, "bad line in %s: %s\n", qPrintable(path),
                         qPrintable(f.join(u' ')));
            return false;
        }
        doc.UpdateAllViews();
    }
    return true;
}

// Loads the photos through the document's photo file question, as F3 and F4 do, then makes
// the fit file's drags on the photo views the window shows.
bool LoadAndFit(const Options& options, vm::CVisomorfDoc& doc, vm::CMainFrame& frame) {
    doc.choosePhotoFile = [&options](int photo) { return options.photos[photo]; };
    for (const vm::CommandId id : {vm::CommandId::LoadFront, vm::CommandId::LoadSide}) {
        frame.OnCommand(static_cast<uint32_t>(id));
    }
    if (doc.photos[vm::Front].isNull() || doc.photos[vm::Side].isNull()) {
        return false;
    }
    QApplication::processEvents();
    vm::CImageView* views[vm::kPhotoCount] = {};
    for (QWidget* widget : frame.VisibleViews()) {
        if (auto* view = qobject_cast<vm::CImageView*>(widget)) {
            views[view->GetPhotoIndex()] = view;
        }
    }
    return options.fitFile.isEmpty() || RunFitFile(options.fitFile, doc, views, frame);
}

void Save(const QImage& image, const QDir& out, const char* name) {
    const QString path = out.filePath(QLatin1String(name));
    if (image.save(path)) {
        std::printf("wrote %s\n", qPrintable(path));
    } else {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

void Settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Options options;
    if (!ParseOptions(app.arguments().mid(1), options)) {
        std::fprintf(stderr, "usage: screenshot_app OUT_DIR [LAYOUT_ID] [--size WxH] "
                             "[--photos FRONT SIDE [--fit FILE]]\n");
        return 2;
    }
    const QDir& out = options.out;
    out.mkpath(QStringLiteral("."));
    Save(QImage(QStringLiteral(":/data/splash.jpg")), out, "splash.png");
    const QImage strip(QStringLiteral(":/data/toolbar.png"));
    QImage big(strip.size() * 8, QImage::Format_RGB32);
    big.fill(QColor(212, 208, 200));
    QPainter(&big).drawImage(big.rect(), strip);
    Save(big, out, "toolbar_x8.png");

    const vm::Settings settings;
    vm::CVisomorfDoc doc(settings.initialModelDetail());
    vm::CMainFrame frame(doc, vm::ProgramViews(settings));
    doc.reportFailure = [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); };
    frame.Files().New();
    frame.resize(options.size);
    frame.show();
    if (options.layout != 0) {
        frame.OnCommand(options.layout);
    }
    Settle(300);
    if (!options.photos[vm::Front].isEmpty()) {
        if (!LoadAndFit(options, doc, frame)) {
            return 1;
        }
        frame.UpdateCommandUI(); // as the program does when the event loop goes idle
        Settle(300);
    }
    Save(frame.grab().toImage(), out, "mainwindow.png");
    for (const char* name : {"menu_View", "menu_Model_Detail", "menu_File", "menu_Edit"}) {
        auto* menu = frame.findChild<QMenu*>(QLatin1String(name));
        if (!menu) {
            continue;
        }
        menu->popup(frame.mapToGlobal(QPoint(60, 40)));
        Settle(200);
        Save(menu->grab().toImage(), out, (std::string(name) + ".png").c_str());
        menu->hide();
    }
    vm::CAboutDlg about(&frame);
    about.show();
    Settle(200);
    Save(about.grab().toImage(), out, "about.png");
    return 0;
}
