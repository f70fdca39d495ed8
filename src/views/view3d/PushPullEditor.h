#pragma once
// Push/pull editing in the 3D window: picking the displayed mesh, the fixed push direction, and
// moving editable-mesh vertices with a falloff between the near and the far distance. Each
// click and each reset is one undo step of the document and marks it modified.
#include "platform/core/VMath.h"
#include "views/view3d/Camera3D.h"

#include <cstdint>
#include <optional>

namespace vm {

class CVisomorfDoc;

// A hit of a ray on the displayed mesh.
struct PickResult {
    uint32_t face = 0;
    int corner = 0;           // nearest of the face's corners, 0..2
    uint32_t indices[3] = {}; // the face's vertices in the displayed mesh
    float distance = 0;       // along the ray, in ray-direction lengths
    Vec3 point;               // model units
    Vec3 normal;              // interpolated, not normalised
    Vec3 direction;           // the ray's, normalised
};

struct PickRay {
    Vec3 origin;    // on the near plane, model units
    Vec3 direction; // near plane to far plane, not normalised
};

class PushPullEditor {
public:
    // The ray under window point (x, y) through the transforms of the last frame.
    static PickRay MakePickRay(const SceneTransforms& transforms, float x, float y);
    // The nearest hit of that ray on the document's displayed mesh.
    static std::optional<PickResult> Pick(const CVisomorfDoc& doc,
                                          const SceneTransforms& transforms, float x, float y);
    // Weight of a vertex at distance r (model units) from the hit point.
    float Weight(float r) const;

    // The viewing direction through the client area's centre, in model coordinates.
    void FixDirection(const SceneTransforms& transforms);
    bool HasFixedDirection() const;
    const Vec3& FixedDirection() const { return m_vFixedDirection; }

    // One click at window point (x, y); false when the ray misses the model or nothing moved.
    bool PushPull(CVisomorfDoc& doc, const SceneTransforms& transforms, float x, float y,
                  bool push);
    // Takes back every recorded move; false when there was nothing to take back.
    bool ResetModifications(CVisomorfDoc& doc) const;

    const std::optional<PickResult>& LastPick() const { return m_pick; }

    // The largest magnitude the settings dialog takes for r1, r2 and the shift (model units,
    // that is photo pixels): far beyond any photo, and exact as a float.
    static constexpr double kMaxSetting = 1e6;
    // Whether a number may become r1, r2 or the shift: finite and within kMaxSetting. Zero,
    // negative values and r2 above r1 are allowed.
    static bool IsUsableSetting(double value);

    float m_fFarDistance = 60;  // r1, model units
    float m_fNearDistance = 30; // r2, model units
    float m_fShift = 2;         // model units per click at weight 1

private:
    Vec3 m_vFixedDirection{3.4028235e38f, 0, 0};
    std::optional<PickResult> m_pick;
};

} // namespace vm
