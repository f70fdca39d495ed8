#pragma once
// The zoom law shared by the photo views and the magnifier: a step n shows e^(0.2 n) / 10
// window pixels per photo pixel, computed in single precision so that every step gives the
// same scale on every machine.
namespace vm {

constexpr int kMinZoomStep = 0;
constexpr int kMaxZoomStep = 29;
// One wheel notch.
constexpr int kWheelDeltaPerStep = 120;

// Window (or magnifier) pixels per photo pixel for a zoom step.
float ScaleForStep(int step);
// The step whose scale lies at or just below the given scale (scale > 0); not clamped.
int StepForScale(float scale);
// The step after a wheel event of the given signed delta, kept in kMinZoomStep..kMaxZoomStep.
int WheelZoomStep(int step, int wheelDelta);

// Turns wheel deltas of any size into whole notches. A touchpad or a fine-grained wheel sends
// many deltas smaller than a notch; they add up, and what is left over after the whole notches
// waits for the next delta. Turning the other way starts afresh, so that a remainder never
// cancels part of the first notch in the new direction.
class WheelNotches {
public:
    // The whole notches (signed) that this delta completes.
    int Add(int wheelDelta);
    // Forgets the remainder (the view was refitted, the gesture ended).
    void Reset() { m_remainder = 0; }
    int Remainder() const { return m_remainder; }

private:
    int m_remainder = 0;
};

} // namespace vm
