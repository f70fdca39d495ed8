#include "app/HelpPaths.h"

#include <QDir>
#include <QFileInfo>

namespace vm {

HelpPaths ComputeHelpPaths(const QString& programPath, const QString& helpDir) {
    const QFileInfo program(programPath);
    // Compared without case as the program's name, but the folders keep theirs: paths on
    // this system are case-sensitive.
    if (program.completeBaseName().compare(QLatin1String("visomorf"), Qt::CaseInsensitive) == 0) {
        const QDir dir(helpDir);
        return {dir.filePath(QStringLiteral("visomorf.htm")),
                dir.filePath(QStringLiteral("tutorial.htm"))};
    }
    return {program.dir().filePath(program.completeBaseName().toLower() + ".hlp"), QString()};
}

QString FindHelpDir(const QString& programDir) {
    const QDir dir(programDir);
    const QString beside = dir.filePath(QStringLiteral("help"));
    if (QFileInfo(beside).isDir()) {
        return beside;
    }
    return QDir::cleanPath(dir.filePath(QStringLiteral("../share/visomorf/help")));
}

} // namespace vm
