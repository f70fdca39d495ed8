#include "cli/AutoFitStep.h"

#include <QTextStream>

namespace vm {

namespace {

DocumentAutoFitter& InstalledFitter() {
    static DocumentAutoFitter fitter;
    return fitter;
}

} // namespace

void SetDocumentAutoFitter(DocumentAutoFitter fitter) {
    InstalledFitter() = std::move(fitter);
}

bool RunAutoFitStep(CVisomorfDoc& doc, bool optional, QTextStream& err) {
    if (!InstalledFitter()) {
        err << "visomorf: --auto-fit is not available in this build\n";
        err.flush();
        return false;
    }
    return InstalledFitter()(doc, optional, err);
}

} // namespace vm
