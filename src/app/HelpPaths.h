#pragma once
// Where the Help menu's pages lie: the manual and the tutorial, installed beside the program.
#include <QString>

namespace vm {

struct HelpPaths {
    QString helpFile; // the manual's index page
    QString tutorial; // the tutorial page; empty when the program is not called "visomorf"
};

// programPath: the program file. helpDir: the folder holding the pages. A program of another
// name keeps its own path with ".hlp" as the help file and has no tutorial, so that a renamed
// copy never opens another program's pages.
HelpPaths ComputeHelpPaths(const QString& programPath, const QString& helpDir);

// The pages' folder for a program in programDir: "help" beside it (build tree, unpacked copy)
// or "../share/visomorf/help" (installed).
QString FindHelpDir(const QString& programDir);

} // namespace vm
