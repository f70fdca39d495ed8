#include "autofit/FaceDepth.h"

#include "autofit/detail/JointFit.h"
#include "document/CVisomorfDoc.h"

#include <algorithm>
#include <cmath>

namespace vm {

namespace {

struct Extent {
    float minX = 1e30f, maxX = -1e30f, minZ = 1e30f, maxZ = -1e30f;
};

Extent MeshExtent(const Mesh& mesh) {
    Extent e;
    for (const HeadVertex& v : mesh.vertices) {
        e.minX = std::min(e.minX, v.position.x), e.maxX = std::max(e.maxX, v.position.x);
        e.minZ = std::min(e.minZ, v.position.z), e.maxZ = std::max(e.maxZ, v.position.z);
    }
    return e;
}

} // namespace

void BendFaceBack(CVisomorfDoc& doc, float curve) {
    if (!doc.editableMesh || doc.editableMesh->vertices.empty() || !(curve > 0)) {
        return;
    }
    Mesh& mesh = *doc.editableMesh;
    const Extent e = MeshExtent(mesh);
    const float half = 0.5f * (e.maxX - e.minX), middleX = 0.5f * (e.minX + e.maxX);
    // The face looks towards -z; the ears stand about halfway between the nose and the back.
    const float earZ = 0.5f * (e.minZ + e.maxZ), faceDepth = earZ - e.minZ;
    if (!(half > 0) || !(faceDepth > 0)) {
        return;
    }
    const double uvPerDepth = ReadUVScales(mesh).sideU;
    for (HeadVertex& v : mesh.vertices) {
        const float across = std::min(1.0f, std::abs(v.position.x - middleX) / half);
        const float forward = std::clamp((earZ - v.position.z) / faceDepth, 0.0f, 1.0f);
        const float back = curve * half * across * across * forward;
        v.position.z += back;
        v.sideUV.x += static_cast<float>(uvPerDepth * back);
    }
    KeepPointsOnTheirVertices(doc);
    doc.RebuildDisplayMesh();
}

} // namespace vm
