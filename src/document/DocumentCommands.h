#pragma once
// The commands the document handles, keyed by their menu ids, and the state their menu items
// show.
#include <cstdint>
#include <optional>

namespace vm {

enum class CommandId : uint32_t {
    Undo = 57643,
    Redo = 57644,
    ViewBox = 32772,
    ViewFeatures = 32773,
    PointsAll = 32774,
    PointsMore = 32775,
    PointsLess = 32776,
    PointsNo = 32777,
    ViewBlendZone = 32778,
    ViewWireframe = 32779,
    ViewSolid = 32780,
    ViewLighting = 32781,
    ViewOrthogonal = 32782,
    ViewPerspective = 32783,
    DetailHigh = 32784,
    DetailMedium = 32785,
    DetailLow = 32786,
    DetailLowKey = 32800,    // Ctrl+1
    DetailMediumKey = 32802, // Ctrl+2
    DetailHighKey = 32803,   // Ctrl+3
    SubdivisionSettings = 32806,
    LoadFront = 32790,
    LoadSide = 32791,
    LeftSide = 32792,
    Edit3DOn = 32807,
    Edit3DFixDirection = 32808,
    Edit3DReset = 32809,
    Edit3DSettings = 32810,
};

enum class CheckMark { None, Check, Radio };

struct CommandState {
    bool enabled = true;
    CheckMark mark = CheckMark::None;
    bool operator==(const CommandState&) const = default;
};

// The subdivision options the settings dialog edits.
struct SubdivisionOptions {
    bool sharpenNose = false;
    bool sharpenLips = false;
    bool sharpenEyebrow = false;
    bool operator==(const SubdivisionOptions&) const = default;
};

// Every id the document answers, in menu order (for binding menus and for tests).
const CommandId* DocumentCommandIds(int& count);

} // namespace vm
