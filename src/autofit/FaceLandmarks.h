#pragma once
// Frontal faces and their 68 landmarks (the common 68-point annotation: jaw 0-16, brows 17-26,
// nose 27-35, eyes 36-47, mouth 48-67, "left" meaning the left of the picture).
#include "document/DocumentTypes.h"
#include "platform/core/VMath.h"

#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace vm {

constexpr int kLandmarkCount = 68;

// An 8-bit grey picture in someone else's memory.
struct GreyImage {
    const uint8_t* bits = nullptr;
    int width = 0, height = 0;
    size_t stride = 0; // bytes from one row to the next
};

struct DetectedFace {
    Box box;                                    // photo pixels
    std::array<Vec2, kLandmarkCount> landmarks; // photo pixels
    double score = 0;                           // detector confidence, about 0 .. 3
};

class FaceLandmarker {
public:
    // Where the landmark model is looked for: $VISOMORF_LANDMARK_MODEL when set, else the
    // place Debian's libdlib-data installs it.
    static QString ModelPath();
    // The shared instance, loading the model on first use (about a second). Throws
    // std::runtime_error with a readable message when the model file is missing or unreadable.
    static const FaceLandmarker& Instance();

    explicit FaceLandmarker(const QString& modelPath);
    ~FaceLandmarker();
    FaceLandmarker(const FaceLandmarker&) = delete;
    FaceLandmarker& operator=(const FaceLandmarker&) = delete;

    // Every frontal face in a grey image, largest first; positions in the image's pixels.
    std::vector<DetectedFace> Detect(const GreyImage& grey) const;

private:
    struct Models;
    std::unique_ptr<Models> m_models;
};

} // namespace vm
