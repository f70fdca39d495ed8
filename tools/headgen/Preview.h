#pragma once
// Quick shaded pictures of the generated head, for judging its shape while designing it.
#include "Geometry.h"
#include "Triangulation.h"

#include <QString>
#include <utility>
#include <vector>

namespace vm::headgen {

struct PreviewMesh {
    std::vector<D3> positions;
    std::vector<Triangle> triangles; // cross(b - a, c - a) points out of the head
};

// One Loop subdivision step (boundary edges kept sharp).
PreviewMesh LoopSubdivide(const PreviewMesh& mesh);

// Flat-shaded orthographic view turned by yawDegrees about the vertical axis (0 = from the front),
// optionally with the edges drawn. Marks, when given, are drawn as red dots.
void RenderPreview(const PreviewMesh& mesh, double yawDegrees, bool edges, const QString& path,
                   const std::vector<D3>& marks = {}, double zoom = 1.0, D2 centre = {},
                   const std::vector<std::pair<D3, D3>>& lines = {});

} // namespace vm::headgen
