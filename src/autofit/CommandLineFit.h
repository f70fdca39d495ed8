#pragma once
// The automatic fit as the command line runs it: messages on stderr, a verdict for the exit
// status.
class QTextStream;

namespace vm {

class CVisomorfDoc;

// Fits the document's loaded photos and applies what fitted. Returns false (the command fails)
// when there is no photo, the detectors are missing, or a photo cannot be fitted and optional
// is false; in that case the document is left as it was.
bool AutoFitForCommandLine(CVisomorfDoc& doc, bool optional, QTextStream& err);

} // namespace vm
