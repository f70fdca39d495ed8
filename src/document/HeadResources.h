#pragma once
// The generic head the program carries: its mesh and its default feature set.
#include "document/FeatureSet.h"
#include "platform/mesh/Mesh.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace vm {

inline const QString kHeadMeshResource = QStringLiteral(":/data/head.x");
inline const QString kFeatureSetResource = QStringLiteral(":/data/featureset.bin");

// Result code of an embedded resource that cannot be found.
constexpr uint32_t kResourceNotFound = 0x80070716;

// The bytes of an embedded resource; throws ResultException(kResourceNotFound) without it.
QByteArray ReadResource(const QString& path);

struct BaseMesh {
    Mesh mesh;                       // vertex format 0x352
    std::vector<uint32_t> adjacency; // 3 per face, co-located vertices joined (epsilon 0.01)
    uint32_t numMaterials = 0;
};

// The head mesh from an .x file: modelUV takes the file's texture coordinates (frontUV keeps
// them too until the fitting replaces it), every diffuse colour is opaque white. A file
// without materials throws GeneralFailureException; a malformed one the reader's failure.
BaseMesh LoadBaseMesh(const QByteArray& xfile);
BaseMesh LoadBaseMesh(); // from kHeadMeshResource

// The feature set of a new document. The block must end exactly where the bytes do;
// anything left over throws ArchiveException(BadFormat).
FeatureSet LoadFeatureSet(const QByteArray& block);
FeatureSet LoadDefaultFeatureSet(); // from kFeatureSetResource

} // namespace vm
