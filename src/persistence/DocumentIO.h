#pragma once
// Opening and saving the document's file: the open sequence with its rebuild of textures,
// blend and displayed mesh, and saves that replace the previous file only once complete.
#include "persistence/DocumentFile.h"

#include <QString>

namespace vm {

class CVisomorfDoc;

// What the document holds that its file keeps: a copy, and references for writing.
DocumentContent GatherDocumentContent(const CVisomorfDoc& doc);
DocumentSource SourceOf(const CVisomorfDoc& doc);

// Writes the document to path through a temporary file beside it, which replaces the target
// only when complete. Throws on failure; the previous file is then untouched. The document is
// not changed.
void SaveDocument(const CVisomorfDoc& doc, const QString& path);

// Reads path completely and checks it before the document changes: a file that cannot be
// read leaves the document as it was. Once the content is in, the editable mesh's adjacency
// and bounding sphere, the textures, the blend and the displayed mesh are rebuilt; should that
// fail, the document becomes a new document before the failure goes on. On success the
// document is not modified, has path as its path name, and its views are refitted and updated.
void OpenDocument(CVisomorfDoc& doc, const QString& path);

// The framework's forms: failures are shown through the document's reportFailure with the
// file's path, and the result says whether the operation succeeded. A successful save clears
// the modified flag and takes the new path name. A save while a view drags is refused (false)
// and writes nothing.
bool OnOpenDocument(CVisomorfDoc& doc, const QString& path);
bool OnSaveDocument(CVisomorfDoc& doc, const QString& path);

} // namespace vm
