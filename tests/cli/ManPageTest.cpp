#include "cli/ManPage.h"

#include "cli/CommandLine.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace vm {
namespace {

ManPageSource Source(const QString& help) {
    ManPageSource source;
    source.help = help;
    source.version = QStringLiteral("9.8");
    source.date = QStringLiteral("2026-12-10");
    source.summary = QStringLiteral("make heads");
    return source;
}

// The lines of one section, without its .SH line.
QStringList SectionLines(const QString& page, const QString& title) {
    QStringList lines;
    bool inside = false;
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH "))) {
            inside = line == QStringLiteral(".SH \"%1\"").arg(title);
            continue;
        }
        if (inside) {
            lines << line;
        }
    }
    return lines;
}

TEST(ManPage, DescribesEveryOptionOfTheHelpAndTheParserKnowsThem) {
    const QString help = CommandLineHelp();
    const QString page = ManPageFromHelp(Source(help));
    const QStringList options = SectionLines(page, QStringLiteral("OPTIONS"));
    static const QRegularExpression listed(QStringLiteral("^  (--[a-z][a-z-]*)"),
                                           QRegularExpression::MultilineOption);
    int count = 0;
    for (auto it = listed.globalMatch(help); it.hasNext(); ++count) {
        const QString option = it.next().captured(1);
        const QString term = QStringLiteral("\\fB") + RoffEscape(option) + QStringLiteral("\\fR");
        const qsizetype at = options.indexOf(QRegularExpression(
            QStringLiteral("^") + QRegularExpression::escape(term) + QStringLiteral("( .*)?$")));
        ASSERT_GT(at, 0) << option.toStdString() << " has no entry:\n" << page.toStdString();
        EXPECT_EQ(options[at - 1], QStringLiteral(".TP"));
        ASSERT_LT(at + 1, options.size());
        EXPECT_FALSE(options[at + 1].startsWith(QLatin1Char('.'))) << option.toStdString();
        // The help offers nothing the parser would call unknown.
        CommandLineOptions parsed;
        QString error;
        ParseCommandLine({option, QStringLiteral("value")}, parsed, error);
        EXPECT_FALSE(error.startsWith(QLatin1String("Unknown option"))) << error.toStdString();
    }
    EXPECT_GE(count, 12);
    // Every usage form of the help is a line of the synopsis.
    const QStringList synopsis = SectionLines(page, QStringLiteral("SYNOPSIS"));
    EXPECT_EQ(synopsis.filter(QRegularExpression(QStringLiteral("^\\\\fBvisomorf\\\\fR"))).size(),
              help.count(QRegularExpression(QStringLiteral("(^Usage: |\\n\\s+)visomorf "))));
    EXPECT_TRUE(page.startsWith(
        QStringLiteral(".TH VISOMORF 1 \"2026\\-12\\-10\" \"Visomorf 9.8\" \"User Commands\"\n"
                       ".nh\n.SH NAME\nvisomorf \\- make heads\n")));
    if (help.contains(QLatin1String("\nExit status:"))) {
        EXPECT_FALSE(SectionLines(page, QStringLiteral("EXIT STATUS")).isEmpty());
    }
}

TEST(ManPage, ReadsEntriesContinuationsAndHeadedParagraphs) {
    const QString help = QStringLiteral("Usage: tool --go WHERE\n"
                                        "             [--fast]\n"
                                        "       tool --stop\n"
                                        "\n"
                                        "First paragraph\n"
                                        "goes on here.\n"
                                        "\n"
                                        "Second paragraph.\n"
                                        "\n"
                                        "  --go WHERE     go there,\n"
                                        "                 and further\n"
                                        "  --a-very-long-option-name\n"
                                        "                 described below its name\n"
                                        "  --fast         quickly\n"
                                        "\n"
                                        "Exit status:\n"
                                        "  0   it went\n"
                                        "  7   it stopped\n"
                                        "      on the way\n");
    const QString page = ManPageFromHelp(Source(help));
    EXPECT_EQ(SectionLines(page, QStringLiteral("SYNOPSIS")),
              QStringList({".nf", "tool \\fB\\-\\-go\\fR WHERE", "      [\\fB\\-\\-fast\\fR]",
                           "tool \\fB\\-\\-stop\\fR", ".fi"}));
    EXPECT_EQ(SectionLines(page, QStringLiteral("DESCRIPTION")),
              QStringList({"First paragraph goes on here.", ".PP", "Second paragraph."}));
    EXPECT_EQ(SectionLines(page, QStringLiteral("OPTIONS")),
              QStringList({".TP", "\\fB\\-\\-go\\fR \\fIWHERE\\fR", "go there, and further", ".TP",
                           "\\fB\\-\\-a\\-very\\-long\\-option\\-name\\fR",
                           "described below its name", ".TP", "\\fB\\-\\-fast\\fR", "quickly"}));
    EXPECT_EQ(SectionLines(page, QStringLiteral("EXIT STATUS")),
              QStringList({".TP", "\\fB0\\fR", "it went", ".TP", "\\fB7\\fR",
                           "it stopped on the way", ""}));

    // A headed paragraph with its text on the same line, and sections added after the help.
    ManPageSource source = Source(QStringLiteral("  --x   y\n\nExit status: 0 on success.\n"));
    source.extraSections = {
        {QStringLiteral("Files"), {{QStringLiteral("/a/b-c"), QStringLiteral("data")}}}};
    const QString second = ManPageFromHelp(source);
    EXPECT_EQ(SectionLines(second, QStringLiteral("EXIT STATUS")), QStringList({"0 on success."}));
    EXPECT_EQ(SectionLines(second, QStringLiteral("FILES")),
              QStringList({".TP", "\\fB/a/b\\-c\\fR", "data", ""}));
}

TEST(ManPage, TextIsNeverReadAsRoffRequests) {
    EXPECT_EQ(RoffEscape(QStringLiteral("a\\b-c")), QStringLiteral("a\\eb\\-c"));
    const QString help = QStringLiteral("Usage: tool [C:\\dir]\n"
                                        "\n"
                                        ".hidden files and\n"
                                        "'quoted' names are kept; so is a \\fB backslash.\n"
                                        "\n"
                                        "  --in FILE   .vmf files only\n"
                                        "  'x'         'quoted\n");
    const QString page = ManPageFromHelp(Source(help));
    static const QRegularExpression request(QStringLiteral("^[.']([A-Za-z]+)"));
    const QStringList known = {"TH", "nh", "SH", "TP", "PP", "nf", "fi"};
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        const auto match = request.match(line);
        if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\''))) {
            EXPECT_TRUE(match.hasMatch() && known.contains(match.captured(1)))
                << "text read as a request: " << line.toStdString();
        }
    }
    EXPECT_TRUE(page.contains(QStringLiteral("\n\\&.hidden files and 'quoted' names are kept; so "
                                             "is a \\efB backslash.\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("\ntool [C:\\edir]\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("\n\\&.vmf files only\n")));
    EXPECT_TRUE(page.contains(QStringLiteral("\n\\fB'x'\\fR\n\\&'quoted\n")));
}

} // namespace
} // namespace vm
