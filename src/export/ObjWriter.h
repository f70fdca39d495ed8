#pragma once
// The text files of an export: the Wavefront OBJ mesh and the MTL material file that names the
// baked JPEG texture. Both are written with CR LF line ends.
#include "platform/mesh/Mesh.h"

#include <QByteArray>
#include <QString>

namespace vm {

// The files that travel with an OBJ, derived from the OBJ's path.
struct ExportNames {
    QString folder;   // before the last "/", empty when the path has none
    QString base;     // the file name without its last extension
    QString mtlName;  // file name only, as the OBJ names it
    QString jpegName; // file name only, as the MTL names it
    QString mtlPath;  // beside the OBJ
    QString jpegPath; // beside the OBJ
    QString binName;  // the buffer of a ".gltf" export, file name only
    QString binPath;  // beside it
};

ExportNames MakeExportNames(const QString& objPath);

// printf's "%g" of the value widened to double, with at least three exponent digits
// (1.5e-005), independent of the C locale.
QByteArray FormatG(float value);

// The OBJ text: "mtllib", then positions (model units), texture coordinates (modelUV) and one
// "usemtl head" plus face line per triangle, 1-based indices shared by position and texture.
QByteArray ObjText(const Mesh& mesh, const QString& mtlName);
QByteArray MtlText(const QString& jpegName);

// Writes bytes at path through a ReplacingFile (ReplacingFile.h): the previous file stays whole
// until the new one is. A file that cannot be made raises FileException with "Error opening file
// for writing:", a failed write "Error writing file:", each with the path and the system's reason.
void WriteExportFile(const QString& path, const QByteArray& bytes);

// Write the files as WriteExportFile does.
void WriteObj(const Mesh& mesh, const QString& objPath, const QString& mtlName);
void WriteMtl(const QString& mtlPath, const QString& jpegName);

} // namespace vm
