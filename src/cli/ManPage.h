#pragma once
// The manual page visomorf(1), written from the command line's own help text so that the two
// always list the same options.
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace vm {

struct ManPageSource {
    QString help;    // the text "visomorf --help" prints
    QString version; // e.g. "1.0"
    QString date;    // the release date shown in the page footer, e.g. "2026-12-10"
    QString summary; // the NAME line after "visomorf - "
    // Sections after the ones taken from the help, each a title and its entries (term, text).
    std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>> extraSections;
};

// The page in man(7) markup. The help text is read as:
// - "Usage: " and the lines after it up to a blank line: the synopsis, kept line for line;
// - indented lines: an entry, its term and text separated by two or more spaces; lines
//   indented further than the entry above continue its text;
// - other lines: paragraphs, separated by blank lines. A paragraph that starts with a short
//   heading and a colon ("Exit status: ...") after the entries opens a section of that name.
QString ManPageFromHelp(const ManPageSource& source);

// Text as man(7) shows it literally: backslashes and minus signs escaped, and no line that
// starts with a control character.
QString RoffEscape(const QString& text);

} // namespace vm
