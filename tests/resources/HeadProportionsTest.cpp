// Proportions of the committed generic head, measured from the vertices the default feature set
// binds: every head a user makes starts from these, so they must follow adult averages (eye
// spacing, nose and mouth width, face height, eye line, ear size and place).
#include "HeadResourceFixture.h"
#include "document/HeadResources.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace vm::test {
namespace {

const FeatureSet& Committed() {
    static const FeatureSet set = LoadFeatureSet(ReadCommittedResource("featureset.bin"));
    return set;
}

const Feature& FrontFeature(const std::string& name) {
    for (const Feature& f : Committed().features[Front]) {
        if (f.name.toStdString() == name) {
            return f;
        }
    }
    throw std::runtime_error("no front feature " + name);
}

// Model positions (model units) of a front feature's points in the order the segments first
// reach them, which is the outline's order for a polyline.
std::vector<Vec3> Points(const std::string& name) {
    std::vector<int> order;
    for (const auto& [a, b] : FrontFeature(name).segments) {
        for (int point : {a, b}) {
            if (std::find(order.begin(), order.end(), point) == order.end()) {
                order.push_back(point);
            }
        }
    }
    std::vector<Vec3> out;
    for (int point : order) {
        const uint32_t vertex = Committed().points[Front][point].vertexIndex;
        out.push_back(CommittedHead().mesh.vertices[vertex].position);
    }
    return out;
}

float MinX(const std::vector<Vec3>& p) {
    return std::min_element(p.begin(), p.end(), [](auto& a, auto& b) { return a.x < b.x; })->x;
}
float MaxX(const std::vector<Vec3>& p) {
    return std::max_element(p.begin(), p.end(), [](auto& a, auto& b) { return a.x < b.x; })->x;
}
float MinY(const std::vector<Vec3>& p) {
    return std::min_element(p.begin(), p.end(), [](auto& a, auto& b) { return a.y < b.y; })->y;
}
float MaxY(const std::vector<Vec3>& p) {
    return std::max_element(p.begin(), p.end(), [](auto& a, auto& b) { return a.y < b.y; })->y;
}
float MeanY(const std::vector<Vec3>& p) {
    float sum = 0;
    for (const Vec3& v : p) {
        sum += v.y;
    }
    return sum / static_cast<float>(p.size());
}
// The feature's points on the midline (x = 0).
std::vector<Vec3> OnMidline(const std::vector<Vec3>& p) {
    std::vector<Vec3> out;
    std::copy_if(p.begin(), p.end(), std::back_inserter(out), [](auto& v) { return v.x == 0; });
    return out;
}

// Distances and heights in model units between the feature-bound landmarks.
struct Measures {
    float eyeWidth, innerEyes, outerEyes, noseWidth, mouthWidth;
    float crownY, chinY, eyeLineY, browY, nasionY, subnasaleY, earTopY, earBottomY;
};

Measures Measure() {
    const std::vector<Vec3> left = Points("Lefteye"), right = Points("Righteye");
    const std::vector<Vec3> jaw = Points("Leftear jawline");
    // The jaw line starts with the ear's eight outline points.
    const std::vector<Vec3> ear(jaw.begin(), jaw.begin() + 8);
    const std::vector<Vec3> nose = Points("Nostrils"), brow = Points("Browridge");
    Measures m{};
    m.eyeWidth = MaxX(left) - MinX(left);
    m.innerEyes = MinX(right) - MaxX(left);
    m.outerEyes = MaxX(right) - MinX(left);
    m.noseWidth = MaxX(nose) - MinX(nose);
    const std::vector<Vec3> lips = Points("Lips");
    m.mouthWidth = MaxX(lips) - MinX(lips);
    m.crownY = MaxY(Points("Whole object"));
    m.chinY = std::min(MinY(jaw), MinY(Points("Rightear jawline")));
    std::vector<Vec3> corners;
    for (const auto* eye : {&left, &right}) {
        for (const Vec3& p : *eye) {
            if (p.x == MinX(*eye) || p.x == MaxX(*eye)) {
                corners.push_back(p);
            }
        }
    }
    m.eyeLineY = MeanY(corners);
    m.browY = MeanY(brow);
    m.nasionY = OnMidline(brow).at(0).y;
    m.subnasaleY = MinY(OnMidline(nose));
    m.earTopY = MaxY(ear);
    m.earBottomY = MinY(ear);
    return m;
}

// Adult averages from published craniofacial measurements; the head may stray 15 % from each.
void ExpectNear(double measured, double average, const char* what) {
    EXPECT_GE(measured, average * 0.85) << what;
    EXPECT_LE(measured, average * 1.15) << what;
}

TEST(HeadProportions, FaceWidthsFollowAdultAverages) {
    const Measures m = Measure();
    ExpectNear(m.innerEyes / m.eyeWidth, 1.0, "inner eye distance / eye width");
    ExpectNear(m.noseWidth / m.innerEyes, 1.0, "nose width / inner eye distance");
    ExpectNear(m.mouthWidth / m.innerEyes, 1.6, "mouth width / inner eye distance");
    ExpectNear(m.outerEyes / m.mouthWidth, 1.7, "outer eye distance / mouth width");
}

TEST(HeadProportions, HeightsAndTheEarFollowAdultAverages) {
    const Measures m = Measure();
    const float height = m.crownY - m.chinY;
    ExpectNear(height / m.outerEyes, 2.55, "crown-to-chin height / outer eye distance");
    ExpectNear((m.eyeLineY - m.chinY) / height, 0.5, "eye line above the chin / face height");
    const float noseHeight = m.nasionY - m.subnasaleY;
    const float earLength = m.earTopY - m.earBottomY;
    ExpectNear(earLength / noseHeight, 1.0, "ear length / nose height");
    // The ear reaches from the brow down to the base of the nose.
    EXPECT_LE(std::abs(m.earTopY - m.browY), 0.15f * earLength) << "ear top against the brow";
    EXPECT_LE(std::abs(m.earBottomY - m.subnasaleY), 0.15f * earLength)
        << "ear bottom against the base of the nose";
    EXPECT_GT(m.chinY, -342.0f) << "the neck shows below the chin";
}

} // namespace
} // namespace vm::test
