// One version everywhere: the About box shows the version the program prints for --version.
#include "app/CAboutDlg.h"

#include <QLabel>
#include <QProcess>
#include <gtest/gtest.h>

namespace vm {
namespace {

TEST(AboutBox, ShowsTheVersionTheCommandLinePrints) {
    QProcess program;
    program.start(QStringLiteral(VISOMORF_EXE), {QStringLiteral("--version")});
    ASSERT_TRUE(program.waitForFinished(60000));
    const QString printed = QString::fromUtf8(program.readAllStandardOutput()).trimmed();
    ASSERT_TRUE(printed.startsWith(QLatin1String("visomorf "))) << printed.toStdString();
    const QString version = printed.mid(9);
    ASSERT_FALSE(version.isEmpty());

    CAboutDlg about;
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
    }
    const QString shown = texts.join(QLatin1Char('\n'));
    EXPECT_TRUE(shown.contains(QStringLiteral("version ") + version + QStringLiteral("<br>")))
        << shown.toStdString();
}

} // namespace
} // namespace vm
