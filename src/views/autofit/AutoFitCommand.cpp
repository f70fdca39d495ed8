#include "views/autofit/AutoFitCommand.h"

#include "autofit/DocumentFit.h"
#include "document/CVisomorfDoc.h"
#include "views/FailureReport.h"

#include <QCursor>
#include <QGuiApplication>
#include <QStringList>
#include <exception>

namespace vm {

namespace {

// The wait cursor for as long as the detectors run, put back on every way out.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QString Sentence(QString text) {
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text + QLatin1Char('.');
}

} // namespace

void RunAutoFitCommand(CVisomorfDoc& doc, QWidget* parent) {
    if (doc.IsDragInProgress()) {
        return;
    }
    if (doc.photos[Front].isNull() && doc.photos[Side].isNull()) {
        ReportFailure(QStringLiteral("Load a front or side photo before fitting automatically."),
                      parent);
        return;
    }
    DocumentFitReport report;
    try {
        const BusyCursor busy;
        report = AutoFitDocument(doc, true);
    } catch (const std::exception& failure) {
        ReportFailure(Sentence(QStringLiteral("cannot fit automatically: %1")
                                   .arg(QString::fromLocal8Bit(failure.what()))),
                      parent);
        return;
    }
    if (report.applied) {
        doc.UpdateBounds(); // the fitted head may lie far from where the generic one was
        doc.UpdateAllViews();
    }
    QStringList failures;
    for (int p = 0; p < kPhotoCount; ++p) {
        if (report.attempted[p] && !report.photos[p].fitted) {
            failures << Sentence(report.photos[p].failure);
        }
    }
    if (!failures.isEmpty()) {
        ReportFailure(failures.join(QLatin1Char('\n')), parent);
    }
}

void RunMatchSideCommand(CVisomorfDoc& doc, QWidget* parent) {
    if (doc.IsDragInProgress()) {
        return;
    }
    if (doc.photos[Front].isNull() || doc.photos[Side].isNull()) {
        ReportFailure(QStringLiteral("Load a front and a side photo before matching them."),
                      parent);
        return;
    }
    try {
        const BusyCursor busy;
        MatchSidePhotoToFront(doc);
    } catch (const std::exception& failure) {
        ReportFailure(Sentence(QStringLiteral("cannot match the side photo to the front: %1")
                                   .arg(QString::fromLocal8Bit(failure.what()))),
                      parent);
        return;
    }
    doc.UpdateBounds();
    doc.UpdateAllViews();
}

} // namespace vm
