#pragma once
// The ".vmf" document file: version, feature-set block, the editable mesh as a compressed .x
// file, one section per photo (weights, model offset, box, point positions, the photo as
// JPEG), the blend zone and the left-side flag.
#include "document/DocumentTypes.h"
#include "document/FeatureSet.h"
#include "platform/core/VMath.h"
#include "platform/mesh/Mesh.h"
#include "texture/PhotoTexture.h"

#include <QByteArray>
#include <QIODevice>
#include <vector>

namespace vm {

class Archive;

// Everything a document file holds, read completely before any of it reaches a document.
struct DocumentContent {
    FeatureSet featureSet; // the points carry their vertex weights
    Mesh mesh;             // the editable mesh
    uint32_t numMaterials = 1;
    Vec2 modelOffset[kPhotoCount];                 // photo pixels
    Box box[kPhotoCount];                          // photo pixels
    std::vector<Vec2> pointPositions[kPhotoCount]; // photo pixels
    Photo photos[kPhotoCount];                     // an empty image: no photo
    float blendZoneWidth = 100;                    // side-photo pixels
    std::vector<Vec2> blendZone;                   // side-photo pixels
    bool leftSide = false;
};

// What a file is written from: references into a document or a read content, so that saving
// copies nothing (the weights alone are hundreds of thousands of map entries).
struct DocumentSource {
    const std::vector<FeaturePoint> (&points)[kPhotoCount];
    const std::vector<Feature> (&features)[kPhotoCount];
    const Mesh& mesh;
    uint32_t numMaterials;
    const Vec2 (&modelOffset)[kPhotoCount];
    const Box (&box)[kPhotoCount];
    const std::vector<Vec2> (&pointPositions)[kPhotoCount];
    const QImage* photos[kPhotoCount];
    const QByteArray* jpegBytes[kPhotoCount]; // empty: the photo did not come from JPEG data
    float blendZoneWidth;
    const std::vector<Vec2>& blendZone;
    bool leftSide;
};

DocumentSource SourceOf(const DocumentContent& content);

constexpr uint32_t kDocumentVersion = 1;

// Writes the file from the current position of a seekable device. Photos that came from JPEG
// data are written with those bytes unchanged; other photos are encoded as JPEG. Throws
// ArchiveException or MessageException when the device or the encoder fails.
void WriteDocument(QIODevice& file, const DocumentSource& source);
void WriteDocument(QIODevice& file, const DocumentContent& content);

// Reads a whole document from a seekable device. Every count and length is checked against
// the bytes the file still holds before anything is allocated, and content the program could
// not use (positions that do not match the points, weights or points naming vertices the mesh
// lacks, empty boxes, an empty blend zone, numbers that are not finite, incomplete photo data)
// is refused. Throws ArchiveException (with a detail saying what is wrong), the feature-set
// block's InvalidArgumentException, the mesh reader's CDXException or the decoder's
// MessageException; nothing is returned half-read.
DocumentContent ReadDocument(QIODevice& file);

// The mesh block alone: the compressed .x bytes that follow the feature-set block (for tools
// that want to look at a document's mesh with other programs).
QByteArray ExtractMeshBlock(QIODevice& file);

// Whether JPEG data runs from its start marker through its scans to the end-of-image marker.
bool JpegDataComplete(const QByteArray& bytes);

} // namespace vm
