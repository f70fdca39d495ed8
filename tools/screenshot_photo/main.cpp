// Takes the pictures of the photo views for the documentation: the front view with every
// feature shown, the side view with the blend zone, and the magnifier over the front photo.
// Usage: screenshot_photo OUTPUT_DIR [FRONT_PHOTO [SIDE_PHOTO]] [--fit FILE]
// The optional fit file lists hand-made drags, one per line:
//   front|side X0 Y0 X1 Y1     (window pixels of that view's client area)
// and lines "points N", "features on|off", "box on|off" that set the display switches.
#include "document/CVisomorfDoc.h"
#include "views/photo/CFrontView.h"
#include "views/photo/CMagnifierDlg.h"
#include "views/photo/CSideView.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QTextStream>
#include <QThread>
#include <cstdio>

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    QApplication::processEvents();
}

// A left-button drag in small steps, as a hand would make it.
void Drag(vm::CImageView& view, QPoint from, QPoint to) {
    QWidget* viewport = view.viewport();
    SendMouse(viewport, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    SendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    constexpr int kSteps = 8;
    for (int s = 1; s <= kSteps; ++s) {
        const QPoint p = from + (to - from) * s / kSteps;
        SendMouse(viewport, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    }
    SendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

bool RunFitFile(const QString& path, vm::CVisomorfDoc& doc, vm::CImageView& front,
                vm::CImageView& side) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(u' ', Qt::SkipEmptyParts);
        if (f.isEmpty() || f[0].startsWith(u'#')) {
            continue;
        }
        if (f[0] == u"points" && f.size() == 2) {
            doc.pointsLevel = f[1].toInt();
        } else if (f[0] == u"features" && f.size() == 2) {
            doc.showFeatures = f[1] == u"on";
        } else if (f[0] == u"box" && f.size() == 2) {
            doc.showBox = f[1] == u"on";
        } else if ((f[0] == u"front" || f[0] == u"side") && f.size() == 5) {
            Drag(f[0] == u"front" ? front : side, QPoint(f[1].toInt(), f[2].toInt()),
                 QPoint(f[3].toInt(), f[4].toInt()));
        } else {
            std::fprintf(stderr, "bad line in %s: %s\n", qPrintable(path),
                         qPrintable(f.join(u' ')));
            return false;
        }
        doc.UpdateAllViews();
    }
    return true;
}

bool Save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    if (!widget.grab().save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString fitFile;
    if (const qsizetype at = args.indexOf(QStringLiteral("--fit"));
        at >= 0 && at + 1 < args.size()) {
        fitFile = args[at + 1];
        args.remove(at, 2);
    }
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: screenshot_photo OUTPUT_DIR [FRONT [SIDE]] [--fit FILE]\n");
        return 2;
    }
    const QDir out(args[0]);
    vm::CVisomorfDoc doc;
    doc.reportFailure = [](const QString& text) { std::fprintf(stderr, "%s\n", qPrintable(text)); };
    if (!doc.OnNewDocument()) {
        return 1;
    }
    try {
        if (args.size() > 1) {
            doc.LoadPhoto(vm::Front, args[1]);
        }
        if (args.size() > 2) {
            doc.LoadPhoto(vm::Side, args[2]);
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }

    vm::CMagnifierDlg magnifier;
    vm::CFrontView front(doc);
    vm::CSideView side(doc);
    for (vm::CImageView* view :
         {static_cast<vm::CImageView*>(&front), static_cast<vm::CImageView*>(&side)}) {
        view->SetMagnifier(&magnifier);
        view->resize(640, 720);
        view->show();
    }
    side.move(660, 0);
    QApplication::processEvents();
    doc.showFeatures = true;
    doc.pointsLevel = 5;
    if (!fitFile.isEmpty() && !RunFitFile(fitFile, doc, front, side)) {
        return 1;
    }
    doc.showFeatures = true;
    doc.pointsLevel = 5;
    doc.UpdateAllViews();

    bool ok = Save(front, out.filePath(QStringLiteral("photo_front.png")));
    ok = Save(side, out.filePath(QStringLiteral("photo_side.png"))) && ok;

    // The magnifier two notches up, over the middle of the front box (the face once fitted).
    magnifier.move(0, 760);
    magnifier.show();
    QWheelEvent wheel(QPointF(10, 10), magnifier.mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, 240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&magnifier, &wheel);
    const vm::Box& box = doc.box[vm::Front];
    const QPointF middle((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    const QPoint target = front.viewport()->mapToGlobal(front.Viewport().PhotoToWindow(middle));
    QCursor::setPos(target);
    for (int i = 0; i < 10 && QCursor::pos() != target; ++i) {
        QThread::msleep(20);
        QApplication::processEvents();
    }
    ok = Save(magnifier, out.filePath(QStringLiteral("magnifier.png"))) && ok;
    return ok ? 0 : 1;
}
