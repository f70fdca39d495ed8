#pragma once
// The two photos fitted together. The front photo decides the head's heights and width, the
// side photo its depth: every side point goes to the height the front fit gave its vertex, so
// the document's half-moves of the two photos agree and the mesh never folds.
#include "autofit/PhotoFit.h"
#include "autofit/SideAlignment.h"
#include "autofit/detail/SideFit.h"
#include "platform/mesh/Mesh.h"

#include <optional>
#include <vector>

namespace vm {

class CVisomorfDoc;

// The front landmarks' heights that the profile's landmarks share (photo pixels of the side
// photo as it is): the nasion, the nose tip, the hollow under the nose, the upper lip, the chin.
std::vector<HeightPair> SharedHeights(const ProfileReading& side,
                                      const std::vector<Vec2>& frontLandmarks);

// The profile's front edge and landmarks in another version of its photo.
struct AlignedProfile {
    std::vector<Vec2> edge; // the face's outline, top to bottom, one place per traced row
    Vec2 nasion, noseTip, subnasale, chin;
    // The edge's x at height y, or nothing above or below the traced outline.
    std::optional<float> EdgeAt(float y) const;
};
AlignedProfile AlignProfile(const ProfileReading& side, const PhotoTransform& transform);

// Replaces the side photo with its aligned version; the points follow the photo. Records no
// history.
void ApplySideAlignment(CVisomorfDoc& doc, const SideAlignment& alignment);

// Fits the side photo (aligned to the front) after the front fit's box is applied and before its
// points move: the side box takes the front's scale and heights, then frontPoints places the
// front points, then every side point goes to its vertex's front height and, on the face's
// outline, onto the profile; the blend zone moves with the side points. Records no history.
// False, with nothing changed, when the side photo's heights are too far from the front's.
bool FitBothPhotos(CVisomorfDoc& doc, const std::vector<Vec2>& frontTargets,
                   const AlignedProfile& profile);

// Triangles of the mesh that face the front (x, y) or the side (z, y) projection one way round in
// the reference positions and the other way round now: folds.
std::vector<uint32_t> FoldedTriangles(const Mesh& mesh, const std::vector<Vec3>& reference);

// Photo texture units per model unit along each axis (the boxes' scales, mirrored for a side
// photo looking left), read from the vertices themselves by least squares.
struct UVScales {
    float frontU = 0, frontV = 0, sideU = 0, sideV = 0;
};
UVScales ReadUVScales(const Mesh& mesh);

// Smooths folds out of the editable mesh: the corners of folded triangles move towards their
// neighbours, texture coordinates with them, until no triangle is folded; the feature points
// then follow their vertices on the photos. Returns the rounds it took, or -1 when folds remain.
// Records no history.
int UnfoldTriangles(CVisomorfDoc& doc, const std::vector<Vec3>& reference);

// Moves the photo's points to their targets as hand drags would, one point at a time.
void MovePointsTo(CVisomorfDoc& doc, int photo, const std::vector<Vec2>& targets);

// Carries the blend zone along with the side points' moves from `before` to now.
void BlendZoneFollows(CVisomorfDoc& doc, const std::vector<Vec2>& before);

// Every feature point at the photo place of its vertex, and each box around its points: after
// the vertices moved by themselves, the points still show where their vertices take the photos.
void KeepPointsOnTheirVertices(CVisomorfDoc& doc);

} // namespace vm
