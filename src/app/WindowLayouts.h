#pragma once
// The seven layouts of the Window menu as step sequences over the two splitters: the outer one
// (switchable pane 0 with the front or the first side view, and the inner splitter) and the
// inner one (the second side view above the 3D view).
#include <cstdint>
#include <span>

namespace vm {

enum class SplitterId { Outer, Inner };

struct LayoutStep {
    enum class Action { Show, Hide, Switch };
    SplitterId splitter;
    Action action;
    int index; // the pane to show or hide, or the view to switch the outer pane 0 to
};

// What the steps act on (the main frame's splitters, or a model of them).
class LayoutTarget {
public:
    virtual ~LayoutTarget() = default;
    virtual int HiddenPane(SplitterId splitter) const = 0;
    virtual void HidePane(SplitterId splitter, int pane) = 0;
    virtual void ShowHiddenPane(SplitterId splitter) = 0;
    virtual void SwitchOuterView(int view) = 0;
};

// The Window menu's command ids.
namespace layout {
constexpr uint32_t kFront = 32793;
constexpr uint32_t kSide = 32794;
constexpr uint32_t k3D = 32795;
constexpr uint32_t kAll = 32796;
constexpr uint32_t kFrontAndSide = 32797;
constexpr uint32_t kFrontAnd3D = 32798;
constexpr uint32_t kSideAnd3D = 32799;
} // namespace layout

bool IsLayoutCommand(uint32_t id);
// The steps of a layout command; empty for other ids.
std::span<const LayoutStep> LayoutSteps(uint32_t id);
// Runs the steps in order: "show p" acts only when p is the hidden pane, "hide p" only when no
// pane is hidden, so any current state reaches the layout.
void ApplyLayout(uint32_t id, LayoutTarget& target);

} // namespace vm
