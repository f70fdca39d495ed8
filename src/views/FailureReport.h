#pragma once
// The one path by which a failure reaches the user in the windows: a message box with the stop
// icon. Silent failures (already shown, or cancelled by the user) show nothing.
#include <QString>
#include <exception>
#include <functional>

class QWidget;

namespace vm {

class CVisomorfDoc;

// Shows text (already cut to the message buffer) in a critical message box; empty text shows
// nothing.
void ReportFailure(const QString& text, QWidget* parent = nullptr);
// Shows the failure's message box text, unless the failure is silent.
void ReportFailure(const std::exception& failure, QWidget* parent = nullptr);
// Routes the document's failures (new document, photo loading, commands) to ReportFailure.
void InstallFailureReporter(CVisomorfDoc& doc, QWidget* parent);

// Tests replace the message box to see what the user would be shown; an empty function puts the
// message box back. Returns the previous replacement.
using FailureSink = std::function<void(const QString& text)>;
FailureSink SetFailureSink(FailureSink sink);

} // namespace vm
