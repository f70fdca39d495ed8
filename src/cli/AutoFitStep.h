#pragma once
// The command line's --auto-fit step. The fitting needs face detectors that the core library
// does not link, so the program hands the step its fitter at start-up.
#include <functional>

class QTextStream;

namespace vm {

class CVisomorfDoc;

// Fits the document's photos; reports on err; returns false when the command must fail.
// optional: a photo that cannot be fitted is reported but does not fail the command.
using DocumentAutoFitter = std::function<bool(CVisomorfDoc& doc, bool optional, QTextStream& err)>;

void SetDocumentAutoFitter(DocumentAutoFitter fitter);

// Runs the installed fitter; without one, reports that this build cannot fit and fails.
bool RunAutoFitStep(CVisomorfDoc& doc, bool optional, QTextStream& err);

} // namespace vm
