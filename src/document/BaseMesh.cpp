#include "document/HeadResources.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"
#include "platform/xfile/XFileReader.h"

namespace vm {

BaseMesh LoadBaseMesh(const QByteArray& xfile) {
    XFileMesh loaded = ReadXFile(xfile);
    if (loaded.numMaterials == 0) {
        throw GeneralFailureException();
    }
    BaseMesh base;
    base.numMaterials = loaded.numMaterials;
    base.mesh = std::move(loaded.mesh);
    base.mesh.numMaterials = loaded.numMaterials;
    base.adjacency = ComputeAdjacency(base.mesh, 0.01f);
    if (base.mesh.fvf != kHeadVertexFvf) {
        base.mesh = CloneMesh(base.mesh, base.mesh.options, kHeadVertexFvf);
    }
    for (HeadVertex& v : base.mesh.vertices) {
        v.modelUV = v.frontUV; // texture set 0: the coordinates the file carries
        v.diffuse = 0xFFFFFFFF;
    }
    return base;
}

BaseMesh LoadBaseMesh() {
    return LoadBaseMesh(ReadResource(kHeadMeshResource));
}

} // namespace vm
