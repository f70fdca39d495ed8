#include "app/WindowLayouts.h"

namespace vm {

namespace {

using A = LayoutStep::Action;
constexpr SplitterId O = SplitterId::Outer;
constexpr SplitterId I = SplitterId::Inner;

constexpr LayoutStep kFront[] = {{O, A::Show, 0}, {O, A::Hide, 1}, {O, A::Switch, 0}};
constexpr LayoutStep kFrontAndSide[] = {
    {O, A::Show, 0}, {O, A::Show, 1}, {I, A::Show, 0}, {I, A::Hide, 1}, {O, A::Switch, 0}};
constexpr LayoutStep kSide[] = {{O, A::Show, 1}, {I, A::Show, 0}, {O, A::Hide, 0}, {I, A::Hide, 1}};
constexpr LayoutStep kFrontAnd3D[] = {
    {O, A::Show, 0}, {O, A::Show, 1}, {I, A::Show, 1}, {I, A::Hide, 0}, {O, A::Switch, 0}};
constexpr LayoutStep kSideAnd3D[] = {
    {O, A::Show, 0}, {O, A::Show, 1}, {I, A::Show, 1}, {I, A::Hide, 0}, {O, A::Switch, 1}};
constexpr LayoutStep k3D[] = {{O, A::Show, 1}, {I, A::Show, 1}, {O, A::Hide, 0}, {I, A::Hide, 0}};
constexpr LayoutStep kAll[] = {
    {O, A::Show, 0}, {O, A::Show, 1}, {I, A::Show, 1}, {I, A::Show, 0}, {O, A::Switch, 0}};

} // namespace

bool IsLayoutCommand(uint32_t id) {
    return !LayoutSteps(id).empty();
}

std::span<const LayoutStep> LayoutSteps(uint32_t id) {
    switch (id) {
    case layout::kFront:
        return kFront;
    case layout::kFrontAndSide:
        return kFrontAndSide;
    case layout::kSide:
        return kSide;
    case layout::kFrontAnd3D:
        return kFrontAnd3D;
    case layout::kSideAnd3D:
        return kSideAnd3D;
    case layout::k3D:
        return k3D;
    case layout::kAll:
        return kAll;
    default:
        return {};
    }
}

void ApplyLayout(uint32_t id, LayoutTarget& target) {
    for (const LayoutStep& step : LayoutSteps(id)) {
        switch (step.action) {
        case A::Show:
            if (target.HiddenPane(step.splitter) == step.index) {
                target.ShowHiddenPane(step.splitter);
            }
            break;
        case A::Hide:
            if (target.HiddenPane(step.splitter) == -1) {
                target.HidePane(step.splitter, step.index);
            }
            break;
        case A::Switch:
            target.SwitchOuterView(step.index);
            break;
        }
    }
}

} // namespace vm
