// Writes the manual page visomorf(1) from the command line's help text, with the places the
// program reads its data from.
#include "autofit/FaceLandmarks.h"
#include "cli/CommandLine.h"
#include "cli/ManPage.h"

#include <QFile>
#include <QTextStream>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT.1 RELEASE-DATE HELP-DIR\n", argv[0]);
        return 2;
    }
    // The defaults, not whatever the build's environment says.
    ::unsetenv("VISOMORF_LANDMARK_MODEL");
    const QString landmarks = vm::FaceLandmarker::ModelPath();
    const QString helpDir = QString::fromLocal8Bit(argv[3]);

    vm::ManPageSource source;
    source.help = vm::CommandLineHelp();
    source.version = QStringLiteral(VISOMORF_VERSION);
    source.date = QString::fromLocal8Bit(argv[2]);
    source.summary =
        QStringLiteral("turn a front and a side photograph into a textured 3D head model");
    source.extraSections = {
        {QStringLiteral("Environment"),
         {{QStringLiteral("VISOMORF_LANDMARK_MODEL"),
           QStringLiteral("the face landmark model the automatic fit reads instead of %1")
               .arg(landmarks)}}},
        {QStringLiteral("Files"),
         {{landmarks, QStringLiteral("the face landmark model (Debian package libdlib-data)")},
          {helpDir + QStringLiteral("/visomorf.htm"),
           QStringLiteral("the manual that Help > Help opens")}}}};

    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1],
                     qPrintable(file.errorString()));
        return 1;
    }
    const QByteArray page = vm::ManPageFromHelp(source).toUtf8();
    if (file.write(page) != page.size() || !file.flush()) {
        std::fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1],
                     qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
