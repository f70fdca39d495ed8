#pragma once
// The command line's summary of a document: sizes at every level of detail, points, offsets,
// boxes, bounding sphere and blend zone, as JSON.
#include <QByteArray>
#include <QJsonObject>

namespace vm {

class CVisomorfDoc;

// Refines the head at every level of detail to count it; the document's level is kept.
QJsonObject DocumentInfo(CVisomorfDoc& doc);
QByteArray DocumentInfoJson(CVisomorfDoc& doc);

// `visomorf --info`: a new document's summary on stdout; failures on stderr. Returns the exit
// status.
int RunInfoCommand(int initialModelDetail);

} // namespace vm
