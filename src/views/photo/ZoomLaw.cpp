#include "views/photo/ZoomLaw.h"

#include <algorithm>
#include <cmath>

namespace vm {

float ScaleForStep(int step) {
    // Each intermediate result is rounded to float, exactly as the stored scales were made.
    const auto exponent = static_cast<float>(0.2 * step);
    const auto growth = static_cast<float>(std::exp(static_cast<double>(exponent)));
    return growth * 10.0f / 100.0f;
}

int StepForScale(float scale) {
    return static_cast<int>(std::trunc(std::log(10.0 * static_cast<double>(scale)) / 0.2));
}

int WheelZoomStep(int step, int wheelDelta) {
    // Integer division truncates toward zero: less than a notch does not move the step.
    return std::clamp(step + wheelDelta / kWheelDeltaPerStep, kMinZoomStep, kMaxZoomStep);
}

int WheelNotches::Add(int wheelDelta) {
    if ((wheelDelta > 0 && m_remainder < 0) || (wheelDelta < 0 && m_remainder > 0)) {
        m_remainder = 0;
    }
    // In 64 bits: a remainder below one notch plus any int delta cannot overflow.
    const long long total = static_cast<long long>(m_remainder) + wheelDelta;
    const long long notches = total / kWheelDeltaPerStep; // toward zero, like the remainder
    m_remainder = static_cast<int>(total - notches * kWheelDeltaPerStep);
    return static_cast<int>(notches);
}

} // namespace vm
