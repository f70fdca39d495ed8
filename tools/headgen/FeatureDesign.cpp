#include "FeatureDesign.h"

#include "HeadShape.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <set>
#include <stdexcept>

namespace vm::headgen {

namespace {

struct Pick {
    int vertex;
    int level;
};

// Chooses head vertices for one photo's feature points; a vertex is bound at most once.
class ViewDraft {
public:
    explicit ViewDraft(const HeadLayout& layout) : m_layout(layout) {
        for (const auto& [tag, v] : layout.tags) {
            m_named.insert(v);
        }
    }

    int Point(const Pick& pick) {
        const auto it = m_pointOf.find(pick.vertex);
        if (it != m_pointOf.end()) {
            return it->second;
        }
        m_view.vertex.push_back(pick.vertex);
        m_view.level.push_back(pick.level);
        return m_pointOf[pick.vertex] = static_cast<int>(m_view.vertex.size()) - 1;
    }

    void Polyline(const std::string& name, int parent, const std::vector<Pick>& picks,
                  bool closed) {
        DraftFeature f{name, parent, {}};
        for (size_t i = 0; i + 1 < picks.size(); ++i) {
            f.segments.push_back({Point(picks[i]), Point(picks[i + 1])});
        }
        if (closed) {
            f.segments.push_back({Point(picks.back()), Point(picks.front())});
        }
        m_view.features.push_back(f);
    }

    void Segments(const std::string& name, int parent,
                  const std::vector<std::pair<Pick, Pick>>& segments) {
        DraftFeature f{name, parent, {}};
        for (const auto& [a, b] : segments) {
            f.segments.push_back({Point(a), Point(b)});
        }
        m_view.features.push_back(f);
    }

    // The unbound vertex nearest to a place on the surface, on the side of x = sideSign. Named
    // landmarks are left to the features that name them.
    int Nearest(const D3& target, double sideSign) const {
        int best = -1;
        double bestDistance = 1e300;
        for (int v = 0; v < static_cast<int>(m_layout.positions.size()); ++v) {
            const D3& p = m_layout.positions[v];
            if (m_pointOf.count(v) || m_named.count(v) || p.x * sideSign < 0 || p.x == 0) {
                continue;
            }
            const double d = Len(p - target);
            if (d < bestDistance) {
                bestDistance = d, best = v;
            }
        }
        if (best < 0) {
            throw std::runtime_error("feature set: no vertex left near a feature point");
        }
        return best;
    }

    // The outermost unbound left vertex near height y, as the head's outline from the front.
    int Silhouette(double y, const std::set<int>& skip) const {
        int best = -1;
        double bestCost = 1e300;
        for (int v = 0; v < static_cast<int>(m_layout.positions.size()); ++v) {
            const D3& p = m_layout.positions[v];
            const double cost = p.x + 2.5 * std::abs(p.y - y);
            if (!m_pointOf.count(v) && !skip.count(v) && m_layout.IsLeft(v) && cost < bestCost) {
                bestCost = cost, best = v;
            }
        }
        return best;
    }

    DraftView& View() { return m_view; }
    const HeadLayout& Layout() const { return m_layout; }

private:
    const HeadLayout& m_layout;
    DraftView m_view;
    std::map<int, int> m_pointOf;
    std::set<int> m_named;
};

struct FrontTarget {
    double x, y; // front view, left half
    int level;
};

Pick Tag(const HeadLayout& l, const std::string& tag, int level) {
    return {l.Tag(tag), level};
}

std::vector<Pick> Mirrored(const HeadLayout& l, const std::vector<Pick>& picks) {
    std::vector<Pick> out;
    for (const Pick& p : picks) {
        out.push_back({l.MirrorOf(p.vertex), p.level});
    }
    return out;
}

std::vector<Pick> Reversed(std::vector<Pick> picks) {
    std::reverse(picks.begin(), picks.end());
    return picks;
}

std::vector<Pick> Join(std::vector<Pick> a, const std::vector<Pick>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Binds the unbound vertex nearest to a place on the left half of the surface.
Pick Take(ViewDraft& d, const D3& target, int level) {
    const Pick pick{d.Nearest(target, -1), level};
    d.Point(pick);
    return pick;
}

// Left-half picks near places on the face seen from the front.
std::vector<Pick> FromFront(ViewDraft& d, const std::vector<FrontTarget>& targets) {
    std::vector<Pick> picks;
    for (const FrontTarget& t : targets) {
        picks.push_back(Take(d, SurfaceFromFront(t.x, t.y), t.level));
    }
    return picks;
}

std::vector<Pick> Tags(const HeadLayout& l, const std::vector<std::pair<const char*, int>>& tags) {
    std::vector<Pick> picks;
    for (const auto& [tag, level] : tags) {
        picks.push_back(Tag(l, tag, level));
    }
    return picks;
}

std::vector<Pick> EyeOutline(const HeadLayout& l) {
    return Tags(l, {{"eyeIn", 0},
                    {"eyeUp1", 1},
                    {"eyeUp2", 1},
                    {"eyeUp3", 2},
                    {"eyeOut", 0},
                    {"eyeLo3", 2},
                    {"eyeLo2", 1},
                    {"eyeLo1", 1}});
}

std::vector<Pick> EarOutline(const HeadLayout& l) {
    return Tags(l, {{"earFront", 1},
                    {"earFrontTop", 2},
                    {"earTop", 0},
                    {"earBackTop", 2},
                    {"earBack", 1},
                    {"earBackLow", 1},
                    {"earLobe", 0},
                    {"earFrontLow", 2}});
}

std::vector<Pick> EarAndJaw(ViewDraft& d) {
    const HeadLayout& l = d.Layout();
    std::vector<Pick> picks = EarOutline(l);
    for (const Pick& p : picks) {
        d.Point(p);
    }
    const std::vector<Pick> jaw = FromFront(
        d, {{-146, -150, 1}, {-140, -196, 2}, {-120, -236, 0}, {-94, -262, 2}, {-64, -279, 1}});
    picks.insert(picks.end(), jaw.begin(), jaw.end());
    picks.push_back(Tag(l, "chin3", 2));
    d.Point(picks.back());
    picks.push_back(Take(d, SurfaceFromFront(-10, -286), 0));
    return picks;
}

struct CheekPicks {
    std::vector<Pick> cheek, crease, bone;
};

CheekPicks Cheeks(ViewDraft& d) {
    CheekPicks c;
    c.cheek = FromFront(
        d, {{-118, -66, 1}, {-128, -106, 2}, {-122, -146, 0}, {-108, -190, 2}, {-92, -236, 1}});
    c.crease = FromFront(d, {{-56, -126, 1}, {-70, -152, 2}, {-84, -180, 1}});
    c.bone = FromFront(d, {{-92, -38, 0}, {-124, -40, 2}, {-152, -30, 1}, {-172, -8, 2}});
    return c;
}

std::vector<Pick> HairlineLeft(ViewDraft& d) {
    return Tags(d.Layout(), {{"hair1", 2}, {"hair2", 1}, {"hair3", 0}, {"hair4", 2}, {"hair5", 0}});
}

std::vector<Pick> ForeheadLeft(ViewDraft& d) {
    return FromFront(d, {{-50, 150, 1}, {-104, 138, 1}});
}

// Front photo: the outline of the head, then the face's features, both halves.
void DesignFront(ViewDraft& d, DraftFeatureSet& set) {
    const HeadLayout& l = d.Layout();
    const Pick crown = Tag(l, "crown", 0);
    d.Point(crown);
    // Outline of the skull and jaw down the left side (the ears have their own outlines); the
    // right side mirrors it.
    std::set<int> ear = l.ear;
    std::set<int> earOutline;
    for (const Pick& p : EarOutline(l)) {
        earOutline.insert(p.vertex);
    }
    std::vector<Pick> side;
    const double heights[] = {300, 210, 120, 30, -35, -100, -190, -280};
    const int levels[] = {2, 1, 0, 1, 0, 1, 2, 1};
    int widest = l.LeftBegin();
    for (int v = l.LeftBegin(); l.IsLeft(v); ++v) {
        if (l.positions[v].x < l.positions[widest].x) {
            widest = v;
        }
    }
    // The widest place of the head, at the ear, must be among the points: on the ear's own
    // outline when it is one of the ear's landmarks, else on the head's outline.
    const bool widestOnEar = earOutline.count(widest) > 0;
    ear.insert(widest);
    for (int i = 0; i < 8; ++i) {
        const bool takeWidest = heights[i] == -35 && !widestOnEar;
        side.push_back({takeWidest ? widest : d.Silhouette(heights[i], ear), levels[i]});
        d.Point(side.back());
    }
    const std::vector<Pick> right = Mirrored(l, side);
    const Pick bottom = Tag(l, "f26", 0);
    std::vector<std::pair<Pick, Pick>> outline{{crown, side[0]}, {crown, right[0]}};
    for (size_t i = 0; i + 1 < side.size(); ++i) {
        outline.push_back({side[i], side[i + 1]});
        outline.push_back({right[i], right[i + 1]});
    }
    outline.push_back({side.back(), bottom});
    outline.push_back({right.back(), bottom});
    d.Segments("Whole object", -1, outline);

    const std::vector<Pick> leftEye = EyeOutline(l);
    d.Polyline("Lefteye", 0, leftEye, true);
    const std::vector<Pick> brow =
        Tags(l, {{"brow1", 0}, {"brow2", 2}, {"brow3", 1}, {"brow4", 2}, {"brow5", 0}});
    d.Polyline("Browridge", 0, Join(Join(Reversed(brow), {Tag(l, "f5", 1)}), Mirrored(l, brow)),
               false);
    const std::vector<Pick> upper = Tags(l, {{"mouthOut", 0}, {"upper2", 2}, {"upper1", 1}});
    const std::vector<Pick> lower = Tags(l, {{"mouthOut", 0}, {"lower2", 2}, {"lower1", 1}});
    d.Polyline("Lips", 0,
               Join(Join(Join(upper, {Tag(l, "f17", 0)}), Reversed(Mirrored(l, upper))),
                    Join(Mirrored(l, {lower[1], lower[2]}),
                         Join({Tag(l, "f21", 0)}, Reversed({lower[1], lower[2]})))),
               true);
    const int lips = 3;
    CheekPicks cheeks = Cheeks(d);
    d.Polyline("Rightcheek", lips, Mirrored(l, cheeks.cheek), false);
    const std::vector<Pick> lipLine = Tags(l, {{"lipCorner", 0}, {"lip2", 2}, {"lip1", 1}});
    d.Polyline("Lipline", lips,
               Join(Join(lipLine, {Tag(l, "f19", 0)}), Reversed(Mirrored(l, lipLine))), false);
    d.Polyline("Leftcheek", lips, cheeks.cheek, false);
    d.Polyline("Rightcheek crease", lips, Mirrored(l, cheeks.crease), false);
    d.Polyline("Leftcheek crease", lips, cheeks.crease, false);
    d.Polyline("Rightcheek bone", lips, Mirrored(l, cheeks.bone), false);
    d.Polyline("Leftcheek bone", lips, cheeks.bone, false);

    // Nose: flank lines down to the wings, round each wing to the nostril and the base, and the
    // tip between the two wings.
    const std::vector<Pick> flank = Tags(l, {{"nose1", 1},
                                             {"nose2", 2},
                                             {"nose3", 2},
                                             {"nose4", 1},
                                             {"alaTop", 2},
                                             {"alaOut", 0},
                                             {"alaBase", 1},
                                             {"nostril", 2}});
    const Pick base = Tag(l, "f15", 1), tip = Tag(l, "f14", 0);
    const Pick tipSide = Tag(l, "tipSide", 2);
    std::vector<std::pair<Pick, Pick>> nose;
    for (const auto& half : {flank, Mirrored(l, flank)}) {
        for (size_t i = 0; i + 1 < half.size(); ++i) {
            nose.push_back({half[i], half[i + 1]});
        }
        nose.push_back({half.back(), base});
    }
    for (const Pick& t : {tipSide, Mirrored(l, {tipSide})[0]}) {
        const bool left = t.vertex == tipSide.vertex;
        nose.push_back({t, left ? flank[4] : Mirrored(l, {flank[4]})[0]});
        nose.push_back({t, left ? flank[7] : Mirrored(l, {flank[7]})[0]});
    }
    nose.push_back({tipSide, tip});
    nose.push_back({tip, Mirrored(l, {tipSide})[0]});
    d.Segments("Nostrils", 0, nose);

    d.Polyline("Righteye", 0, Mirrored(l, leftEye), true);
    const std::vector<Pick> earJaw = EarAndJaw(d);
    d.Polyline("Rightear jawline", 0, Mirrored(l, earJaw), false);
    d.Polyline("Leftear jawline", 0, earJaw, false);
    const std::vector<Pick> hair = HairlineLeft(d);
    const Pick hairTop = Tag(l, "f2", 1);
    d.Polyline("Hairline", 0, Join(Join(Reversed(hair), {hairTop}), Mirrored(l, hair)), false);
    const Pick peak = Tag(l, "peak", 2);
    const Pick peakSide = Tag(l, "peakSide", 2);
    d.Polyline("Hairline widowspeak", 0,
               {peakSide, peak, hairTop, Mirrored(l, {peak})[0], Mirrored(l, {peakSide})[0]},
               false);
    const std::vector<Pick> forehead = ForeheadLeft(d);
    d.Polyline("Forehead right", 0, Mirrored(l, forehead), false);
    d.Polyline("Forehead left", 0, forehead, false);

    set.pins[side[0].vertex] = 9;
    set.pins[right[0].vertex] = 10;
    set.pins[hairTop.vertex] = 15;
    set.pins[peak.vertex] = 16;
    set.pins[l.MirrorOf(peak.vertex)] = 17;
    d.View().fixedRows = {{0, crown.vertex},    {1, side[0].vertex},  {2, right[0].vertex},
                          {3, hairTop.vertex},  {4, peak.vertex},     {5, l.MirrorOf(peak.vertex)},
                          {6, side[1].vertex},  {7, right[1].vertex}, {19, side[2].vertex},
                          {20, right[2].vertex}};
}

// Side photo (left half seen from the side): the profile, then the features of one side.
void DesignSide(ViewDraft& d, DraftFeatureSet& set) {
    const HeadLayout& l = d.Layout();
    // Profile levels, front of the neck up to the crown (f19, the lip line, is left out: it
    // belongs to the lips).
    const int frontLevels[kMidlineFront] = {1, 2, 0, 2, 0, 0,  2, 1, 2, 1, 4, 2, 1,
                                            0, 0, 2, 1, 2, -1, 2, 1, 1, 0, 1, 2, 0};
    std::vector<Pick> profile;
    for (int k = kMidlineFront - 1; k >= 0; --k) {
        if (frontLevels[k] >= 0) {
            profile.push_back({l.front[k], frontLevels[k]});
        }
    }
    profile.push_back(Tag(l, "crown", 0));
    const int backLevels[kMidlineBack] = {2, 1, 2, 0, 2, 1, 0, 2, 1, 2, 1, 0};
    for (int k = 0; k < kMidlineBack; ++k) {
        profile.push_back({l.back[k], backLevels[k]});
    }
    const int neckLevels[7] = {2, 1, 2, 0, 2, 1, 2}; // back to front
    for (int k = 0; k < 7; ++k) {
        profile.push_back({l.neckLoop[7 - k], neckLevels[k]});
    }
    d.Polyline("Whole object", -1, profile, true);
    d.Polyline(
        "Browridge", 0,
        Tags(l,
             {{"brow1", 1}, {"brow2", 2}, {"brow3", 0}, {"brow4", 2}, {"brow5", 1}, {"orbOut", 2}}),
        false);
    d.Polyline(
        "Lips", 0,
        Tags(l,
             {{"f18", 1}, {"upper2", 2}, {"lipCorner", 0}, {"lower2", 2}, {"f20", 1}, {"f19", 1}}),
        true);
    const CheekPicks cheeks = Cheeks(d);
    d.Polyline("Cheek", 2, cheeks.cheek, false);
    d.Polyline("Cheek crease", 2, cheeks.crease, false);
    d.Polyline("Cheek bone", 2, cheeks.bone, false);
    d.Polyline("Nostrils", 0,
               Tags(l, {{"nose1", 1},
                        {"nose2", 2},
                        {"nose3", 2},
                        {"nose4", 1},
                        {"noseSide2", 2},
                        {"alaTop", 2},
                        {"alaOut", 0},
                        {"alaBase", 1},
                        {"nostril", 2},
                        {"f15", 0}}),
               false);
    d.Polyline("Eye", 0, EyeOutline(l), true);
    std::vector<Pick> hair;
    const int hairLevels[13] = {0, 2, 1, 2, 1, 2, 0, 2, 1, 2, 1, 2, 0};
    for (int k = 0; k < 13; ++k) {
        const double beta = Rad(40 - 15 * k), lateral = Rad(40);
        const D3 dir{-std::sin(lateral), std::cos(lateral) * std::cos(beta),
                     -std::cos(lateral) * std::sin(beta)};
        hair.push_back(Take(d, SurfaceAlongRay(dir), hairLevels[k]));
    }
    d.Polyline("Hair volume", 0, hair, false);
    d.Polyline("Ear jawline", 0, EarAndJaw(d), false);
    std::vector<Pick> hairline = HairlineLeft(d);
    for (const auto& [y, z] : {std::pair{70.0, -110.0}}) {
        hairline.push_back(Take(d, SurfaceFromSide(y, z, -1), 2));
    }
    d.Polyline("Hairline", 0, hairline, false);
    std::vector<Pick> neck;
    for (const D3& t :
         {D3{-131, -217, 60}, D3{-120, -262, 0}, D3{-90, -285, -50}, D3{-50, -290, -110}}) {
        neck.push_back(Take(d, t, neck.empty() || neck.size() == 3 ? 1 : 2));
    }
    d.Polyline("Untitled", 0, neck, false);
    d.Polyline("Forehead", 0, ForeheadLeft(d), false);

    const Pick f1 = Tag(l, "f1", 1), m1 = Tag(l, "m1", 2), m2 = Tag(l, "m2", 1),
               m4 = Tag(l, "m4", 0);
    set.pins[f1.vertex] = 2;
    set.pins[m2.vertex] = 6;
    set.pins[m4.vertex] = 18;
    set.pins[m1.vertex] = 20;
    d.View().fixedRows = {{0, l.Tag("crown")}, {1, f1.vertex}, {2, m2.vertex},    {3, l.Tag("f2")},
                          {4, m4.vertex},      {5, m1.vertex}, {55, l.Tag("f11")}};
}

void PinCreases(const HeadLayout& l, DraftFeatureSet& set) {
    set.pins[l.Tag("crown")] = 0;
    const int nose[] = {89, 110, 139, 192, 223, 238, 259, 280, 293, 320};
    for (int k = 0; k < 10; ++k) {
        set.pins[l.Tag(Numbered("f", 6 + k))] = nose[k];
    }
    const std::pair<const char*, int> lips[] = {{"lipCorner", 411}, {"lip2", 413}, {"lip1", 416}};
    for (const auto& [tag, number] : lips) {
        set.pins[l.Tag(tag)] = number;
        set.pins[l.MirrorOf(l.Tag(tag))] = number + 1;
    }
    set.pins[l.Tag("f19")] = 415;
    const int brow[] = {83, 81, 85, 87, 102};
    for (int k = 0; k < 5; ++k) {
        const int v = l.Tag(Numbered("brow", k + 1));
        set.pins[v] = brow[k];
        set.pins[l.MirrorOf(v)] = brow[k] + 1;
    }
}

// The row of every point in the stored list, in the order the design above makes them (front,
// then side). The rows are those the default set has always had: code and tests name feature
// points by their number, so a change of the head's shape must not renumber them.
const int kFrontRows[] = {
    0,   1,   6,   19,  37,  69,  98,  122, 146, 2,   7,   20,  38,  70,  99,  123, 147, 156,
    51,  44,  41,  43,  49,  57,  63,  58,  32,  26,  24,  18,  22,  36,  23,  21,  25,  27,
    33,  124, 118, 114, 113, 115, 119, 125, 127, 131, 132, 130, 126, 73,  92,  109, 120, 135,
    103, 111, 128, 77,  83,  75,  55,  74,  93,  110, 121, 136, 137, 139, 142, 141, 143, 140,
    138, 104, 112, 129, 78,  84,  76,  56,  53,  67,  79,  88,  94,  100, 107, 105, 102, 54,
    68,  80,  89,  95,  101, 108, 106, 96,  97,  86,  52,  45,  42,  46,  50,  60,  64,  59,
    65,  47,  39,  61,  71,  85,  90,  81,  116, 133, 144, 148, 154, 152, 150, 66,  48,  40,
    62,  72,  87,  91,  82,  117, 134, 145, 149, 155, 153, 151, 28,  16,  14,  12,  10,  3,
    11,  13,  15,  17,  29,  8,   4,   5,   9,   30,  34,  31,  35,
};
const int kSideRows[] = {
    123, 119, 116, 107, 100, 97,  93,  92,  88,  85, 79,  72,  68,  60,  55, 52, 44,  33,
    28,  23,  35,  30,  24,  3,   1,   0,   5,   2,  6,   4,   16,  32,  37, 57, 74,  84,
    96,  109, 111, 112, 114, 117, 120, 121, 122, 20, 19,  21,  22,  27,  47, 90, 101, 94,
    102, 62,  76,  86,  91,  99,  80,  87,  95,  64, 70,  63,  49,  48,  58, 65, 73,  67,
    77,  78,  82,  81,  46,  42,  39,  41,  45,  50, 54,  51,  15,  14,  10, 8,  11,  18,
    17,  31,  34,  40,  59,  69,  83,  56,  43,  38, 53,  61,  71,  75,  66, 89, 98,  105,
    108, 118, 115, 110, 36,  7,   9,   12,  13,  25, 103, 106, 104, 113, 26, 29,
};

// Fixes every point's row from the tables, checking them against the rows the design itself
// fixes and against the number of points it makes.
void FixRows(DraftView& view, const int* rows, size_t count) {
    if (view.vertex.size() != count) {
        throw std::runtime_error("feature set: the point rows do not cover the design's points");
    }
    std::map<int, int> fixed;
    for (size_t k = 0; k < count; ++k) {
        fixed[rows[k]] = view.vertex[k];
    }
    for (const auto& [row, vertex] : view.fixedRows) {
        if (fixed.at(row) != vertex) {
            throw std::runtime_error("feature set: the point rows disagree with a fixed row");
        }
    }
    view.fixedRows = fixed;
}

} // namespace

DraftFeatureSet DesignFeatureSet(const WeldedHead& head) {
    DraftFeatureSet set;
    ViewDraft front(head.layout);
    DesignFront(front, set);
    set.views[0] = front.View();
    ViewDraft side(head.layout);
    DesignSide(side, set);
    set.views[1] = side.View();
    FixRows(set.views[0], kFrontRows, std::size(kFrontRows));
    FixRows(set.views[1], kSideRows, std::size(kSideRows));
    PinCreases(head.layout, set);
    return set;
}

} // namespace vm::headgen
