#include "HeadLayout.h"

#include "HeadShape.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <tuple>

namespace vm::headgen {

namespace {

// Heights (before the final scaling) where the neck opening meets the midline.
constexpr double kNeckFrontY = -342.0;
constexpr double kNeckBackY = -318.0;
// Angle between the back midline and the grid column beside it, seen from the head centre.
constexpr double kBackColumnAngle = 10.5;

// The neck leans forward from the shoulders up to the head.
D3 NeckAxisAt(double y) {
    return {0, y, 75 - 50 * (y + 520) / 400};
}

// Neck-opening vertex k of kNeckLoop, k = 0 at the front, increasing towards -x.
D3 NeckLoopPoint(int k) {
    const double t = 2 * kPi * k / kNeckLoop;
    const double y = kNeckFrontY + (kNeckBackY - kNeckFrontY) * (1 - std::cos(t)) * 0.5;
    const D3 axis = NeckAxisAt(y);
    const D3 dir{-std::sin(t), 0, -std::cos(t)};
    return SurfaceBetween(axis + dir * 400.0, axis);
}

D3 MidlineRay(double betaDegrees) {
    // beta 0 = straight up, positive towards the face (-z).
    const double b = Rad(betaDegrees);
    return SurfaceAlongRay({0, std::cos(b), -std::sin(b)});
}

// The back profile from the crown down to the back of the neck, at even arc length.
std::vector<D3> BackMidline(const D3& neckBack) {
    std::vector<D3> samples{MidlineRay(0)};
    for (double beta = -0.05; beta > -200; beta -= 0.05) {
        const D3 p = MidlineRay(beta);
        if (p.y <= neckBack.y) {
            break;
        }
        samples.push_back(p);
    }
    samples.push_back(neckBack);
    std::vector<double> arc{0};
    for (size_t i = 1; i < samples.size(); ++i) {
        arc.push_back(arc.back() + Len(samples[i] - samples[i - 1]));
    }
    std::vector<D3> result;
    for (int k = 1; k < kMidlineBack; ++k) {
        const double want = arc.back() * k / kMidlineBack;
        const size_t i = std::lower_bound(arc.begin(), arc.end(), want) - arc.begin();
        result.push_back(samples[i]);
    }
    result.push_back(neckBack);
    return result;
}

struct FacePoint {
    const char* tag;
    double x, y; // front view, x < 0
};

// Landmarks of the left half of the face (x < 0), placed where the features need them. The
// figures follow published adult craniofacial norms, in millimetres times about 2.74: inner eye
// corners 32 mm apart, eye width 29 mm, nose 34 mm wide, mouth 54 mm, outer eye corners 91 mm,
// the eye line halfway between crown and chin (230 mm), the ear 60 mm long from the brow down
// to the base of the nose. The nose alone runs long (65 mm from the nasion to its base, against
// about 55 mm), because the stored head keeps its nose tip at a fixed height below a crown and
// above a neck that are fixed too.
const FacePoint kFace[] = {
    // Eye outline and the line where the closed lids meet.
    {"eyeIn", -44, 20},
    {"eyeUp1", -58, 32},
    {"eyeUp2", -82, 37},
    {"eyeUp3", -106, 33},
    {"eyeOut", -124, 24},
    {"eyeLo3", -106, 13},
    {"eyeLo2", -82, 9},
    {"eyeLo1", -58, 11},
    {"lid1", -62, 22},
    {"lid2", -82, 23},
    {"lid3", -104, 23},
    // Eyebrow, inner end first.
    {"brow1", -34, 58},
    {"brow2", -62, 68},
    {"brow3", -90, 72},
    {"brow4", -118, 68},
    {"brow5", -144, 56},
    // Rim of the eye socket below and beside the eye.
    {"orbOut", -150, 18},
    {"orbLo3", -126, -8},
    {"orbLo2", -88, -16},
    {"orbLo1", -52, -8},
    // Flank of the nose and its wing.
    {"nose1", -16, 20},
    {"nose2", -19, -18},
    {"nose3", -21, -54},
    {"nose4", -24, -86},
    {"noseSide1", -34, -28},
    {"noseSide2", -40, -68},
    {"alaTop", -34, -100},
    {"alaOut", -46, -119},
    {"alaBase", -33, -134},
    {"nostril", -16, -127},
    {"tipSide", -14, -110},
    // Lips: the meeting line (corner first), upper and lower outlines, skin around them.
    {"lipCorner", -66, -177},
    {"lip2", -44, -177},
    {"lip1", -20, -177},
    {"upper3", -56, -170},
    {"upper2", -36, -162},
    {"upper1", -13, -157},
    {"lower2", -48, -189},
    {"lower1", -22, -196},
    {"philtrum", -12, -150},
    {"upperSkin", -42, -148},
    {"mouthOut", -74, -180},
    {"lowerSkin", -36, -209},
    {"chin1", -32, -228},
    {"chin2", -46, -256},
    {"chin3", -28, -280},
    // Hairline across the forehead, centre side first.
    {"hair1", -40, 214},
    {"hair2", -80, 204},
    {"hair3", -118, 188},
    {"hair4", -152, 162},
    {"hair5", -174, 126},
    // The widow's peak above the middle of the hairline.
    {"peak", -22, 250},
    {"peakSide", -52, 262},
};

struct EarPoint {
    const char* tag;
    double a, b; // in the ear's frame: up along the ear, backwards across it
    // How far the vertex stands out of the modelled surface (along the ear's outward normal):
    // subdivision pulls a lone ridge of vertices down and a lone hollow up, so the rim is set
    // higher and the concha deeper than modelled, and the subdivided ear comes out as modelled.
    double lift;
};

// The ear, seen square on: the rim (helix) from the front over the top and down the back to
// the lobe, the groove inside the rim (scapha), the ridge in front of it (antihelix), the
// hollow (concha) with the small flap before it (tragus), and the lobe.
const EarPoint kEar[] = {
    {"earTop", 78, 0, 8},          {"earBackTop", 46, 34, 8},       {"earBack", 6, 42, 8},
    {"earBackLow", -40, 32, 7},    {"earLobe", -92, 4, 3},          {"earFrontLow", -62, -20, 0},
    {"earFront", -19, -39, 4},     {"earFrontTop", 52, -32, 8},     {"earRimFront", 71, -18, 8},
    {"earRimHigh", 68, 21, 8},     {"earRimLow", -24, 38, 8},       {"earRimCrus", 25, -40, 6},
    {"earGrooveTop", 58, 3, -4},   {"earGrooveBack", 30, 24, -4},   {"earGrooveMid", 2, 30, -4},
    {"earGrooveLow", -28, 26, -4}, {"earGrooveFront", 44, -22, -4}, {"earRidgeTop", 36, 8, 3},
    {"earRidge", 4, 14, 3},        {"earRidgeLow", -34, 14, 3},     {"concha", -14, -10, -8},
    {"earConchaLow", -32, -8, -6}, {"earCymba", 12, -14, -5},       {"earTragus", -26, -30, 4},
    {"earLobeIn", -70, 4, 4},      {"earLobeFront", -78, -12, 3},
};

D3 EarPointPosition(const EarPoint& e) {
    const D3 surface = SurfaceBetween(EarToModel(e.a, e.b, 80), EarToModel(e.a, e.b, -40));
    const D3 outward = EarToModel(0, 0, 1) - EarToModel(0, 0, 0);
    return surface + outward * e.lift;
}

// Wanted distance between neighbouring vertices around p: fine on the face, coarse elsewhere.
double Spacing(const D3& p) {
    const double front = std::clamp((-p.z - 60) / 110, 0.0, 1.0);
    const double below = std::clamp((150 - p.y) / 60, 0.0, 1.0);
    const double above = std::clamp((p.y + 360) / 40, 0.0, 1.0);
    const double side = std::clamp((150 - std::abs(p.x)) / 40, 0.0, 1.0);
    return 44 - 20 * front * below * above * side;
}

std::vector<D3> Candidates() {
    std::vector<D3> result;
    const int n = 12000;
    const double golden = kPi * (3 - std::sqrt(5.0));
    for (int i = 0; i < n; ++i) {
        const double y = 1 - 2 * (i + 0.5) / n;
        const double r = std::sqrt(1 - y * y);
        const double a = golden * i;
        const D3 dir{r * std::cos(a), y, r * std::sin(a)};
        if (dir.x < -0.01) {
            result.push_back(SurfaceAlongRay(dir));
        }
    }
    return result;
}

class LayoutBuilder {
public:
    HeadLayout Build();

private:
    int AddMidline(const D3& p, const std::string& tag);
    int AddLeft(const D3& p, const std::string& tag);
    void AddMidlineVertices();
    void AddNeckAndBackGrid();
    void AddFaceAndEars();
    void FillEvenly();
    void AddRequiredEdges();

    HeadLayout m_layout;
    std::vector<D3> m_midline;
    std::vector<D3> m_left;
    D3 m_neck[kNeckLoop];
    std::vector<int> m_leftColumn; // grid column beside the back midline, crown row first
};

int LayoutBuilder::AddMidline(const D3& p, const std::string& tag) {
    m_midline.push_back({0, p.y, p.z});
    const int index = static_cast<int>(m_midline.size()) - 1;
    m_layout.tags[tag] = index;
    return index;
}

int LayoutBuilder::AddLeft(const D3& p, const std::string& tag) {
    if (p.x >= 0) {
        throw std::runtime_error("head layout: left vertex not left of the midline: " + tag);
    }
    m_left.push_back(p);
    const int index = m_layout.LeftBegin() + static_cast<int>(m_left.size()) - 1;
    if (!tag.empty()) {
        m_layout.tags[tag] = index;
    }
    return index;
}

void LayoutBuilder::AddMidlineVertices() {
    for (int k = 0; k < kNeckLoop; ++k) {
        m_neck[k] = NeckLoopPoint(k);
    }
    AddMidline(MidlineRay(0), "crown");
    const double frontY[] = {170,     110,  48,   30,   12,   -6,   -24,  -42,  -60,  -76,  -92,
                             -107.79, -133, -147, -158, -167, -177, -187, -197, -218, -250, -278};
    m_layout.front.push_back(AddMidline(MidlineRay(18), "f1"));
    m_layout.front.push_back(AddMidline(MidlineRay(46), "f2"));
    int k = 3;
    for (double y : frontY) {
        m_layout.front.push_back(AddMidline(SurfaceFromFront(0, y), Numbered("f", k++)));
    }
    m_layout.front.push_back(AddMidline(SurfaceFromBelow(0, -140), "f25"));
    m_layout.front.push_back(AddMidline(m_neck[0], "f26"));
    const std::vector<D3> back = BackMidline(m_neck[kNeckLoop / 2]);
    for (size_t i = 0; i < back.size(); ++i) {
        m_layout.back.push_back(AddMidline(back[i], Numbered("m", i + 1)));
    }
}

void LayoutBuilder::AddNeckAndBackGrid() {
    const D3 c = HeadCentre();
    const double s = std::sin(Rad(kBackColumnAngle)), co = std::cos(Rad(kBackColumnAngle));
    std::vector<int> rows{m_layout.Tag("crown")};
    rows.insert(rows.end(), m_layout.back.begin(), m_layout.back.end() - 1);
    for (size_t k = 0; k < rows.size(); ++k) {
        const D3 dm = Unit(m_midline[rows[k]] - c);
        m_leftColumn.push_back(
            AddLeft(SurfaceAlongRay({-s, co * dm.y, co * dm.z}), Numbered("col", k)));
    }
    std::vector<int> leftNeck;
    for (int k = 1; k < kNeckLoop / 2; ++k) {
        leftNeck.push_back(AddLeft(m_neck[k], Numbered("neck", k)));
    }
    m_leftColumn.push_back(leftNeck.back());
    m_layout.neckLoop.push_back(m_layout.Tag("f26"));
    m_layout.neckLoop.insert(m_layout.neckLoop.end(), leftNeck.begin(), leftNeck.end());
    m_layout.neckLoop.push_back(m_layout.back.back());
    for (auto it = leftNeck.rbegin(); it != leftNeck.rend(); ++it) {
        m_layout.neckLoop.push_back(*it + kSideVertices);
    }
}

void LayoutBuilder::AddFaceAndEars() {
    for (const FacePoint& f : kFace) {
        AddLeft(SurfaceFromFront(f.x, f.y), f.tag);
    }
    for (const EarPoint& e : kEar) {
        m_layout.ear.insert(AddLeft(EarPointPosition(e), e.tag));
    }
    // The skull just behind the rim, and round its top and front, so that the ear stands off
    // the head instead of sloping into it.
    for (const auto& [a, b, dz] :
         {std::tuple{50.0, 38.0, 22.0}, std::tuple{10.0, 60.0, 22.0}, std::tuple{-30.0, 60.0, 22.0},
          std::tuple{-66.0, 60.0, 22.0}, std::tuple{104.0, 10.0, 0.0},
          std::tuple{70.0, -60.0, -10.0}, std::tuple{-20.0, -64.0, -10.0}}) {
        const D3 near = EarToModel(a, b, 0);
        m_layout.ear.insert(AddLeft(SurfaceFromSide(near.y, near.z + dz, -1), ""));
    }
}

void LayoutBuilder::FillEvenly() {
    // Farthest-point sampling: always add the candidate that is farthest, in units of the local
    // spacing, from every vertex placed so far (and from its own mirror image).
    const std::vector<D3> candidates = Candidates();
    const D3 front = m_neck[0], back = m_neck[kNeckLoop / 2];
    const D3 along = Unit(back - front);
    const D3 up{0, along.z, -along.y}; // normal of the neck opening's plane, pointing up
    std::vector<D3> placed = m_midline;
    for (const D3& p : m_left) {
        placed.push_back(p);
        placed.push_back(Mirror(p));
    }
    std::vector<double> score(candidates.size());
    for (size_t i = 0; i < candidates.size(); ++i) {
        const D3& q = candidates[i];
        // Nothing may fall into the regular grid beside the back midline.
        const D3 dir = Unit(q - HeadCentre());
        const bool inGrid = std::abs(dir.x) < std::sin(Rad(1.5 * kBackColumnAngle)) && dir.z > -0.3;
        const bool usable = Dot(q - front, up) > 30 && q.x < -4 && !inGrid;
        double best = usable ? 2 * std::abs(q.x) : -1;
        for (const D3& p : placed) {
            best = std::min(best, Len(q - p));
        }
        score[i] = usable ? best / Spacing(q) : -1;
    }
    while (static_cast<int>(m_left.size()) < kSideVertices) {
        const size_t pick = std::max_element(score.begin(), score.end()) - score.begin();
        if (score[pick] <= 0) {
            throw std::runtime_error("head layout: ran out of fill candidates");
        }
        const D3 p = candidates[pick];
        AddLeft(p, "");
        for (size_t i = 0; i < candidates.size(); ++i) {
            if (score[i] > 0) {
                const double d = std::min(Len(candidates[i] - p), Len(candidates[i] - Mirror(p)));
                score[i] = std::min(score[i], d / Spacing(candidates[i]));
            }
        }
    }
}

void LayoutBuilder::AddRequiredEdges() {
    auto& req = m_layout.required;
    auto both = [&](int a, int b) {
        req.push_back(MakeEdge(a, b));
        req.push_back(MakeEdge(m_layout.MirrorOf(a), m_layout.MirrorOf(b)));
    };
    const int crown = m_layout.Tag("crown");
    std::vector<int> frontChain{crown};
    frontChain.insert(frontChain.end(), m_layout.front.begin(), m_layout.front.end());
    for (size_t i = 0; i + 1 < frontChain.size(); ++i) {
        req.push_back(MakeEdge(frontChain[i], frontChain[i + 1]));
    }
    // The regular grid along the back midline: left quads split one way, right quads the other,
    // which gives every midline vertex above the neck six neighbours and the neck vertex four.
    std::vector<int> mid{crown};
    mid.insert(mid.end(), m_layout.back.begin(), m_layout.back.end());
    for (size_t k = 0; k + 1 < mid.size(); ++k) {
        const int l0 = m_leftColumn[k], l1 = m_leftColumn[k + 1];
        const int r0 = m_layout.MirrorOf(l0), r1 = m_layout.MirrorOf(l1);
        req.push_back(MakeEdge(mid[k], mid[k + 1]));
        req.push_back(MakeEdge(mid[k], l0));
        req.push_back(MakeEdge(mid[k], r0));
        req.push_back(MakeEdge(l0, l1));
        req.push_back(MakeEdge(r0, r1));
        req.push_back(MakeEdge(mid[k], l1));
        req.push_back(MakeEdge(mid[k + 1], r0));
    }
    const char* lips[] = {"lipCorner", "lip2", "lip1"};
    for (int i = 0; i < 2; ++i) {
        both(m_layout.Tag(lips[i]), m_layout.Tag(lips[i + 1]));
    }
    both(m_layout.Tag("lip1"), m_layout.Tag("f19"));
    // The border of each lip, corner to middle, so that the lips keep a clear outline.
    const char* upperBorder[] = {"lipCorner", "upper3", "upper2", "upper1", "f17"};
    const char* lowerBorder[] = {"lipCorner", "lower2", "lower1", "f21"};
    for (size_t i = 0; i + 1 < std::size(upperBorder); ++i) {
        both(m_layout.Tag(upperBorder[i]), m_layout.Tag(upperBorder[i + 1]));
    }
    for (size_t i = 0; i + 1 < std::size(lowerBorder); ++i) {
        both(m_layout.Tag(lowerBorder[i]), m_layout.Tag(lowerBorder[i + 1]));
    }
    // The ear's rim runs as an unbroken edge line, so that subdivision rounds it into a ridge
    // instead of cutting across it.
    const char* rim[] = {"earFront",   "earRimCrus", "earFrontTop", "earRimFront", "earTop",
                         "earRimHigh", "earBackTop", "earBack",     "earRimLow",   "earBackLow"};

    for (size_t i = 0; i + 1 < std::size(rim); ++i) {
        both(m_layout.Tag(rim[i]), m_layout.Tag(rim[i + 1]));
    }
    for (int i = 1; i < 5; ++i) {
        both(m_layout.Tag(Numbered("brow", i)), m_layout.Tag(Numbered("brow", i + 1)));
    }
    std::sort(req.begin(), req.end());
    req.erase(std::unique(req.begin(), req.end()), req.end());
}

HeadLayout LayoutBuilder::Build() {
    AddMidlineVertices();
    AddNeckAndBackGrid();
    AddFaceAndEars();
    FillEvenly();
    if (m_midline.size() != 1 + kMidlineFront + kMidlineBack) {
        throw std::runtime_error("head layout: wrong number of midline vertices");
    }
    m_layout.positions = m_midline;
    m_layout.positions.insert(m_layout.positions.end(), m_left.begin(), m_left.end());
    for (const D3& p : m_left) {
        m_layout.positions.push_back(Mirror(p));
    }
    AddRequiredEdges();
    return m_layout;
}

} // namespace

int HeadLayout::Tag(const std::string& name) const {
    const auto it = tags.find(name);
    if (it == tags.end()) {
        throw std::runtime_error("head layout: unknown vertex tag " + name);
    }
    return it->second;
}

HeadLayout BuildLayout() {
    return LayoutBuilder().Build();
}

std::vector<D2> ChartOf(const HeadLayout& layout) {
    const D3 c = HeadCentre();
    D3 centroid;
    for (int v : layout.neckLoop) {
        centroid = centroid + layout.positions[v];
    }
    const D3 pole = Unit(centroid / static_cast<double>(layout.neckLoop.size()) - c);
    const D3 e1{1, 0, 0};
    const D3 e2 = Unit(Cross(pole, e1));
    std::vector<D2> chart;
    for (const D3& p : layout.positions) {
        const D3 d = Unit(p - c);
        const double k = 1.0 / (1.0 - Dot(d, pole));
        chart.push_back({Dot(d, e1) * k, Dot(d, e2) * k});
    }
    return chart;
}

} // namespace vm::headgen
