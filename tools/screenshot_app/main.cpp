// screenshot_app OUT_DIR [LAYOUT_ID]: pictures of the main window as the program starts it
// (mainwindow.png), of some of its menus (menu_*.png), of its About box (about.png), of the
// splash (splash.png) and of the toolbar images enlarged eight times (toolbar_x8.png), to look
// at them without a desktop.
#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/MainFrameViews.h"
#include "document/CVisomorfDoc.h"
#include "platform/Settings.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <cstdio>
#include <string>

namespace {

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
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: screenshot_app OUT_DIR [LAYOUT_ID]\n");
        return 2;
    }
    const QDir out(args[1]);
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
    frame.Files().New();
    frame.resize(1000, 700);
    frame.show();
    if (args.size() > 2) {
        frame.OnCommand(args[2].toUInt());
    }
    Settle(300);
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
