#include "views/FailureReport.h"

#include "document/CVisomorfDoc.h"
#include "platform/core/Exceptions.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

namespace vm {

namespace {

FailureSink& Sink() {
    static FailureSink sink;
    return sink;
}

} // namespace

FailureSink SetFailureSink(FailureSink sink) {
    FailureSink previous = std::move(Sink());
    Sink() = std::move(sink);
    return previous;
}

void ReportFailure(const QString& text, QWidget* parent) {
    if (text.isEmpty()) {
        return;
    }
    if (Sink()) {
        Sink()(text);
        return;
    }
    QWidget* owner = parent ? parent->window() : QApplication::activeWindow();
    QMessageBox::critical(owner, QApplication::applicationName(), text);
}

void ReportFailure(const std::exception& failure, QWidget* parent) {
    const auto* ours = dynamic_cast<const VisomorfException*>(&failure);
    if (ours && ours->IsSilent()) {
        return;
    }
    ReportFailure(FailureText(failure), parent);
}

void InstallFailureReporter(CVisomorfDoc& doc, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    doc.reportFailure = [owner](const QString& text) { ReportFailure(text, owner.data()); };
}

} // namespace vm
