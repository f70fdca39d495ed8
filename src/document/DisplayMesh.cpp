// Level of detail: the displayed mesh made from the editable mesh, and the subdivision options.
#include "document/CVisomorfDoc.h"
#include "document/Subdivision.h"
#include "platform/core/Exceptions.h"
#include "platform/mesh/MeshServices.h"

namespace vm {

void CVisomorfDoc::EnsureStagesLoaded(bool needStage2) {
    if (!editableMesh) {
        throw GeneralFailureException();
    }
    if (!stage1Loaded || m_plan1.IsEmpty() || m_plan1.InputCount() != editableMesh->VertexCount()) {
        LoadSubdivisionStage(kStage1Resource, stage1, editableMesh->VertexCount());
        m_plan1 = RefinementPlan(stage1, editableMesh->VertexCount());
        stage1Loaded = true;
    }
    if (needStage2 &&
        (!stage2Loaded || m_plan2.IsEmpty() || m_plan2.InputCount() != m_plan1.OutputCount())) {
        LoadSubdivisionStage(kStage2Resource, stage2, m_plan1.OutputCount());
        m_plan2 = RefinementPlan(stage2, m_plan1.OutputCount());
        stage2Loaded = true;
    }
}

void CVisomorfDoc::RebuildDisplayMesh() {
    if (!editableMesh) {
        throw GeneralFailureException();
    }
    if (modelDetail < Medium) {
        try {
            UpdateEditableNormals();
        } catch (const VisomorfException&) {
            // Normals at the coarse level are a nicety: the mesh is still drawn.
        }
        displayedMesh = editableMesh;
        return;
    }
    UpdateEditableNormals();
    if (hardwareNPatches) {
        const uint32_t options = MESH_NPATCHES | (editableMesh->options & MESH_32BIT);
        displayedMesh = std::make_shared<Mesh>(CloneMesh(*editableMesh, options, kHeadVertexFvf));
        return;
    }
    EnsureStagesLoaded(modelDetail != Medium);
    // The refined mesh's storage is reused from move to move; views that kept the previous
    // displayed mesh see it refreshed in place.
    if (!m_refinedMesh || m_refinedMesh == editableMesh) {
        m_refinedMesh = std::make_shared<Mesh>();
    }
    const RefinementPlan* plans[2] = {&m_plan1, &m_plan2};
    m_refiner.Refine(*editableMesh, plans, modelDetail == Medium ? 1 : 2, *m_refinedMesh);
    displayedMesh = m_refinedMesh;
}

void CVisomorfDoc::UpdateEditableNormals() {
    // The topology of the editable mesh only changes when a mesh is loaded, so the grouping of
    // seam copies is found once; the check against the cached topology costs far less than
    // finding it again on every drag step.
    if (!m_normalPlan.Fits(*editableMesh, adjacency)) {
        m_normalPlan = NormalPlan(*editableMesh, adjacency);
    }
    m_normalPlan.Apply(*editableMesh);
}

Mesh CVisomorfDoc::SubdivideMesh() {
    EnsureStagesLoaded(modelDetail != Medium);
    const RefinementPlan* plans[2] = {&m_plan1, &m_plan2};
    Mesh refined;
    MeshRefiner refiner;
    refiner.Refine(*editableMesh, plans, modelDetail == Medium ? 1 : 2, refined);
    return refined;
}

SubdivisionOptions CVisomorfDoc::GetSubdivisionOptions() const {
    return {sharpenNose, sharpenLips, sharpenEyebrow};
}

void CVisomorfDoc::SetSubdivisionOptions(const SubdivisionOptions& options) {
    sharpenNose = options.sharpenNose;
    sharpenLips = options.sharpenLips;
    sharpenEyebrow = options.sharpenEyebrow;
    stage1.creaseLists[0] = sharpenNose ? kSharpenNoseList : nullptr;
    stage1.creaseLists[1] = sharpenLips ? kSharpenLipsList : nullptr;
    stage1.creaseLists[2] = sharpenEyebrow ? kSharpenEyebrowList : nullptr;
    stage1.creaseListCount = 3;
    stage1Loaded = false;
    RebuildDisplayMesh();
    RequestRedraw3D();
}

void CVisomorfDoc::SetModelDetail(int32_t detail) {
    modelDetail = detail;
    RebuildDisplayMesh();
    UpdateAllViews();
}

void CVisomorfDoc::RunSubdivisionSettings() {
    if (!editSubdivisionOptions) {
        return;
    }
    const std::optional<SubdivisionOptions> chosen =
        editSubdivisionOptions(GetSubdivisionOptions());
    if (chosen) {
        SetSubdivisionOptions(*chosen);
    }
}

} // namespace vm
