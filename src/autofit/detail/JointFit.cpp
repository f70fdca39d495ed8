#include "autofit/detail/JointFit.h"

#include "autofit/SmoothWarp.h"
#include "document/CVisomorfDoc.h"
#include "texture/JpegOrientation.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <opencv2/core.hpp>
#include <stdexcept>

namespace vm {

namespace {

// photo y = offset + slope * model y, fitted over every vertex by least squares.
struct Line {
    double offset = 0, slope = 0;
};

Line PhotoHeights(const CVisomorfDoc& doc, int photo) {
    const double height = doc.GetPhotoSize(photo).height();
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const HeadVertex& v : doc.editableMesh->vertices) {
        const double x = v.position.y;
        const double y = (photo == Front ? v.frontUV.y : v.sideUV.y) * height;
        n += 1, sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const double spread = n * sxx - sx * sx;
    if (!(spread > 0)) {
        throw std::invalid_argument("the head has no height");
    }
    Line line;
    line.slope = (n * sxy - sx * sy) / spread;
    line.offset = (sy - line.slope * sx) / n;
    return line;
}

// The side box that shows every vertex at the height the front photo shows it, at the front's
// scale (the same growth across keeps the head's depth), shifted across so that the generic
// profile's nose and chin stand where the photo's are.
bool PutSideBoxAtFrontHeights(CVisomorfDoc& doc, const AlignedProfile& profile) {
    using namespace sidepoints;
    const Line front = PhotoHeights(doc, Front), side = PhotoHeights(doc, Side);
    const double growth = front.slope / side.slope;
    if (!(growth > 0.2 && growth < 5)) {
        return false;
    }
    const Box old = doc.box[Side];
    const double top = front.offset - (side.offset - old.top) * growth;
    const std::vector<Vec2>& positions = doc.pointPositions[Side];
    const std::pair<int, Vec2> places[] = {{kNasion, profile.nasion},
                                           {kNoseTip, profile.noseTip},
                                           {kBelowNose, profile.subnasale},
                                           {kChin, profile.chin}};
    double left = 0;
    for (const auto& [point, place] : places) {
        left += place.x - (positions[static_cast<size_t>(point)].x - old.left) * growth;
    }
    left /= std::size(places);
    doc.SetBox(Side, static_cast<float>(left), static_cast<float>(top),
               static_cast<float>(left + old.Width() * growth),
               static_cast<float>(top + old.Height() * growth));
    return true;
}

// How far each side point must move down so that every vertex ends at the same height in both
// photos: a side point moves the vertices around it by its own weights, so the moves are chosen
// by least squares over all vertices rather than each at its own vertex (which would leave the
// vertices between the side points, the face's inside, to disagree).
std::vector<float> SideRises(const CVisomorfDoc& doc) {
    const auto& vertices = doc.editableMesh->vertices;
    const int rows = static_cast<int>(vertices.size());
    const int points = static_cast<int>(doc.points[Side].size());
    const float frontHeight = static_cast<float>(doc.GetPhotoSize(Front).height());
    const float sideHeight = static_cast<float>(doc.GetPhotoSize(Side).height());
    cv::Mat weights = cv::Mat::zeros(rows + points, points, CV_64F), gaps(rows + points, 1, CV_64F);
    auto gap = [&](size_t v) {
        return vertices[v].frontUV.y * frontHeight - vertices[v].sideUV.y * sideHeight;
    };
    for (int k = 0; k < points; ++k) {
        for (const auto& [vertex, weight] : doc.points[Side][static_cast<size_t>(k)].weights) {
            weights.at<double>(static_cast<int>(vertex), k) = weight;
        }
    }
    for (int v = 0; v < rows; ++v) {
        gaps.at<double>(v) = gap(static_cast<size_t>(v));
    }
    // Each point is also drawn towards its own vertex's gap, which keeps neighbouring points'
    // moves alike: unconstrained, they can swing apart and turn small triangles over.
    constexpr double stiffness = 1.0;
    for (int k = 0; k < points; ++k) {
        weights.at<double>(rows + k, k) = stiffness;
        gaps.at<double>(rows + k) =
            stiffness * gap(doc.points[Side][static_cast<size_t>(k)].vertexIndex);
    }
    cv::Mat rises;
    if (!cv::solve(weights, gaps, rises, cv::DECOMP_SVD)) {
        throw std::invalid_argument("the side points cannot bring the heights together");
    }
    std::vector<float> result(static_cast<size_t>(points));
    for (int k = 0; k < points; ++k) {
        result[static_cast<size_t>(k)] = static_cast<float>(rises.at<double>(k));
    }
    return result;
}

// Where each side point goes: the height the front photo gives its vertex, and across, on the
// face's outline, the profile; the other points follow the outline's moves broadly (a face set
// further forward or back), not its details (a nose that stands out does not pull the cheeks
// along), fading to none at the back of the head, whose depth comes from the head's proportions
// rather than from hair.
std::vector<Vec2> SideTargets(const CVisomorfDoc& doc, const AlignedProfile& profile) {
    const std::vector<Vec2>& positions = doc.pointPositions[Side];
    const float headHeight = doc.box[Front].Height();
    const std::vector<float> rises = SideRises(doc);
    std::vector<Vec2> targets(positions.size());
    for (size_t k = 0; k < positions.size(); ++k) {
        targets[k] = {positions[k].x, positions[k].y + rises[k]};
    }
    std::vector<bool> anchored(positions.size());
    std::vector<size_t> anchors;
    for (int point : sidepoints::kFaceOutline) {
        const auto k = static_cast<size_t>(point);
        const std::optional<float> edge = profile.EdgeAt(targets[k].y);
        // A snap this far is a misread outline (hair across the face, a hand), not a face.
        if (!edge || std::abs(*edge - positions[k].x) > 0.15f * headHeight) {
            continue;
        }
        targets[k].x = *edge;
        anchored[k] = true;
        anchors.push_back(k);
    }
    const float radius = 0.3f * headHeight;
    for (size_t k = 0; k < positions.size(); ++k) {
        if (anchored[k]) {
            continue;
        }
        double sum = 0, weights = 0.05; // the stay-put weight: far points keep their place
        for (size_t a : anchors) {
            const float dx = positions[k].x - positions[a].x, dy = positions[k].y - positions[a].y;
            const double w = std::exp(-(dx * dx + dy * dy) / (2.0 * radius * radius));
            sum += w * (targets[a].x - positions[a].x);
            weights += w;
        }
        targets[k].x += static_cast<float>(sum / weights);
    }
    return targets;
}

// A triangle's area in a projection (front: x, y; side: z, y), signed by the way it turns.
float ProjectedArea(const Vec3& a, const Vec3& b, const Vec3& c, bool side) {
    auto at = [side](const Vec3& p) { return side ? Vec2{p.z, p.y} : Vec2{p.x, p.y}; };
    const Vec2 p = at(a), q = at(b), r = at(c);
    return (q.x - p.x) * (r.y - p.y) - (r.x - p.x) * (q.y - p.y);
}

} // namespace

namespace {

constexpr int kUnfoldRounds = 200;
// After this many rounds without fewer folds, one more ring of vertices is drawn in.
constexpr int kRoundsPerRing = 40;
constexpr float kCornerWeight = 0.5f, kRingWeight = 0.25f;

// Halfway from a vertex to the middle of its neighbours, in space and on both photos.
HeadVertex Flattened(const Mesh& mesh, const std::vector<uint32_t>& neighbours, HeadVertex v) {
    Vec3 position;
    Vec2 front, side;
    for (uint32_t n : neighbours) {
        const HeadVertex& w = mesh.vertices[n];
        position = position + w.position;
        front = {front.x + w.frontUV.x, front.y + w.frontUV.y};
        side = {side.x + w.sideUV.x, side.y + w.sideUV.y};
    }
    const float k = 0.5f / static_cast<float>(neighbours.size());
    v.position = v.position * 0.5f + position * k;
    v.frontUV = {0.5f * v.frontUV.x + k * front.x, 0.5f * v.frontUV.y + k * front.y};
    v.sideUV = {0.5f * v.sideUV.x + k * side.x, 0.5f * v.sideUV.y + k * side.y};
    return v;
}

// A vertex's move evened out with the mean move of its neighbours by `weight` (0 .. 1),
// measured from the reference positions: where the moves agree the surface keeps the reference's
// shape, so a fold opens rather than flattens. The photo places follow the move.
HeadVertex Smoothed(const Mesh& mesh, const std::vector<Vec3>& reference,
                    const std::vector<uint32_t>& neighbours, uint32_t index, const UVScales& k,
                    float weight) {
    HeadVertex v = mesh.vertices[index];
    Vec3 mean;
    for (uint32_t n : neighbours) {
        mean = mean + (mesh.vertices[n].position - reference[n]);
    }
    mean = mean * (1.0f / static_cast<float>(neighbours.size()));
    const Vec3 step = (mean - (v.position - reference[index])) * weight;
    v.position = v.position + step;
    v.frontUV = {v.frontUV.x + k.frontU * step.x, v.frontUV.y + k.frontV * step.y};
    v.sideUV = {v.sideUV.x + k.sideU * step.z, v.sideUV.y + k.sideV * step.y};
    return v;
}

} // namespace

namespace {

// The least-squares slope of uv against along over every vertex.
template <class Along, class UV> float Slope(const Mesh& mesh, Along along, UV uv) {
    double n = 0, sa = 0, su = 0, saa = 0, sau = 0;
    for (const HeadVertex& v : mesh.vertices) {
        const double a = along(v), u = uv(v);
        n += 1, sa += a, su += u, saa += a * a, sau += a * u;
    }
    const double spread = n * saa - sa * sa;
    return spread > 0 ? static_cast<float>((n * sau - sa * su) / spread) : 0.0f;
}

} // namespace

UVScales ReadUVScales(const Mesh& mesh) {
    return {Slope(
                mesh, [](const HeadVertex& v) { return v.position.x; },
                [](const HeadVertex& v) { return v.frontUV.x; }),
            Slope(
                mesh, [](const HeadVertex& v) { return v.position.y; },
                [](const HeadVertex& v) { return v.frontUV.y; }),
            Slope(
                mesh, [](const HeadVertex& v) { return v.position.z; },
                [](const HeadVertex& v) { return v.sideUV.x; }),
            Slope(
                mesh, [](const HeadVertex& v) { return v.position.y; },
                [](const HeadVertex& v) { return v.sideUV.y; })};
}

void KeepPointsOnTheirVertices(CVisomorfDoc& doc) {
    for (int p = 0; p < kPhotoCount; ++p) {
        const QSize size = doc.GetPhotoSize(p);
        for (size_t k = 0; k < doc.points[p].size(); ++k) {
            const HeadVertex& v = doc.editableMesh->vertices.at(doc.points[p][k].vertexIndex);
            const Vec2 uv = p == Front ? v.frontUV : v.sideUV;
            doc.pointPositions[p][k] = {uv.x * static_cast<float>(size.width()),
                                        uv.y * static_cast<float>(size.height())};
        }
        doc.UpdateBoxFromPoints(p);
    }
}

std::vector<uint32_t> FoldedTriangles(const Mesh& mesh, const std::vector<Vec3>& reference) {
    // A triangle turned more than about 70 degrees from a projection (its projection less than
    // a third of its area) is seen too nearly edge-on there to show a fold: around the chin and
    // the neck the surface turns from one side to the other within a few triangles.
    constexpr float kFacing = 0.35f;
    std::vector<uint32_t> folded;
    for (uint32_t f = 0; f < mesh.FaceCount(); ++f) {
        const uint32_t i = mesh.indices[3 * f], j = mesh.indices[3 * f + 1],
                       k = mesh.indices[3 * f + 2];
        const float whole = Length(Cross(reference[j] - reference[i], reference[k] - reference[i]));
        for (bool side : {false, true}) {
            const float before = ProjectedArea(reference[i], reference[j], reference[k], side);
            const float after = ProjectedArea(mesh.vertices[i].position, mesh.vertices[j].position,
                                              mesh.vertices[k].position, side);
            if (std::abs(before) > kFacing * whole && before * after <= 0) {
                folded.push_back(f);
                break;
            }
        }
    }
    return folded;
}

int UnfoldTriangles(CVisomorfDoc& doc, const std::vector<Vec3>& reference) {
    Mesh& mesh = *doc.editableMesh;
    std::vector<std::vector<uint32_t>> neighbours(mesh.vertices.size());
    for (size_t f = 0; f < mesh.FaceCount(); ++f) {
        for (int c = 0; c < 3; ++c) {
            const uint32_t a = mesh.indices[3 * f + c], b = mesh.indices[3 * f + (c + 1) % 3];
            neighbours[a].push_back(b);
            neighbours[b].push_back(a);
        }
    }
    // First each round pulls the corners of every folded triangle halfway to the middle of their
    // neighbours, which opens most folds while moving little. Folds that this cannot open are
    // then opened by evening out the moves of their corners with their neighbours' moves,
    // drawing in one more ring of vertices whenever the folds stop growing fewer. Texture
    // coordinates move with the positions so that the photos stay on them; the state with the
    // fewest folds is kept.
    const UVScales scales = ReadUVScales(mesh);
    std::vector<HeadVertex> best = mesh.vertices;
    size_t fewest = std::numeric_limits<size_t>::max();
    int round = 0, rings = 0, sinceFewer = 0;
    for (; round < 2 * kUnfoldRounds; ++round) {
        const std::vector<uint32_t> folded = FoldedTriangles(mesh, reference);
        const bool evening = round >= kUnfoldRounds;
        if (folded.size() < fewest) {
            fewest = folded.size();
            best = mesh.vertices;
            sinceFewer = 0;
        } else if (evening && ++sinceFewer == kRoundsPerRing) {
            ++rings, sinceFewer = 0;
        }
        if (folded.empty()) {
            break;
        }
        if (round == kUnfoldRounds) {
            mesh.vertices = best; // the flattening's best is where the evening starts
        }
        std::vector<float> weight(mesh.vertices.size(), 0.0f);
        for (uint32_t f : folded) {
            for (int c = 0; c < 3; ++c) {
                weight[mesh.indices[3 * f + c]] = kCornerWeight;
            }
        }
        for (int ring = 0; ring < rings; ++ring) {
            std::vector<float> wider = weight;
            for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
                for (uint32_t n : neighbours[v]) {
                    if (weight[n] > 0 && wider[v] == 0) {
                        wider[v] = kRingWeight;
                    }
                }
            }
            weight = std::move(wider);
        }
        std::vector<HeadVertex> next = mesh.vertices;
        for (uint32_t v = 0; v < mesh.vertices.size(); ++v) {
            if (weight[v] > 0 && !neighbours[v].empty()) {
                next[v] = evening ? Smoothed(mesh, reference, neighbours[v], v, scales, weight[v])
                                  : Flattened(mesh, neighbours[v], mesh.vertices[v]);
            }
        }
        mesh.vertices = std::move(next);
    }
    mesh.vertices = std::move(best);
    KeepPointsOnTheirVertices(doc);
    return fewest == 0 ? round : -1;
}

std::vector<HeightPair> SharedHeights(const ProfileReading& side, const std::vector<Vec2>& front) {
    if (front.size() < 68) {
        return {};
    }
    const ProfileSilhouette& s = side.silhouette;
    const ProfileLandmarks& l = side.landmarks;
    // The profile's chin is its foremost point, which lies about two thirds of the way from the
    // lower lip's bottom (57) down to the chin's lowest landmark (8).
    const float chin = front[57].y + 0.65f * (front[8].y - front[57].y);
    return {{ProfileToPhoto(s, l.nasion), front[27].y, 1.0f, std::nullopt},
            {ProfileToPhoto(s, l.noseTip), front[30].y, 1.0f, std::nullopt},
            {ProfileToPhoto(s, l.subnasale), front[33].y, 1.0f, std::nullopt},
            {ProfileToPhoto(s, l.upperLip), front[51].y, 0.7f, std::nullopt},
            {ProfileToPhoto(s, l.chin), chin, 0.5f, std::nullopt}};
}

std::optional<float> AlignedProfile::EdgeAt(float y) const {
    if (edge.size() < 2 || y < edge.front().y || y > edge.back().y) {
        return std::nullopt;
    }
    const auto after = std::lower_bound(edge.begin(), edge.end(), y,
                                        [](const Vec2& p, float value) { return p.y < value; });
    if (after == edge.begin()) {
        return after->x;
    }
    const Vec2& a = *(after - 1);
    const Vec2& b = *after;
    const float t = b.y > a.y ? (y - a.y) / (b.y - a.y) : 0.0f;
    return a.x + t * (b.x - a.x);
}

AlignedProfile AlignProfile(const ProfileReading& side, const PhotoTransform& transform) {
    const ProfileSilhouette& s = side.silhouette;
    const ProfileLandmarks& l = side.landmarks;
    auto place = [&](const cv::Point& p) {
        Vec2 q = ProfileToPhoto(s, p);
        transform.Map(q.x, q.y, q.x, q.y);
        return q;
    };
    AlignedProfile aligned;
    aligned.nasion = place(l.nasion);
    aligned.noseTip = place(l.noseTip);
    aligned.subnasale = place(l.subnasale);
    aligned.chin = place(l.chin);
    // From the crown to a little below the chin: under it the outline runs back to the neck.
    const int last =
        std::min(static_cast<int>(s.front.size()) - 1, l.chin.y + (l.chin.y - l.nasion.y) / 6);
    for (int y = std::max(0, s.topRow); y <= last; ++y) {
        if (s.front[static_cast<size_t>(y)] >= 0) {
            aligned.edge.push_back(place({s.front[static_cast<size_t>(y)], y}));
        }
    }
    std::sort(aligned.edge.begin(), aligned.edge.end(),
              [](const Vec2& a, const Vec2& b) { return a.y < b.y; });
    return aligned;
}

void ApplySideAlignment(CVisomorfDoc& doc, const SideAlignment& alignment) {
    const QImage aligned = ResampleSidePhoto(doc.photos[Side], alignment);
    doc.ReplacePhoto(Side, aligned, EncodeUprightJpeg(aligned), PointTransform(alignment));
}

void MovePointsTo(CVisomorfDoc& doc, int photo, const std::vector<Vec2>& targets) {
    std::vector<Vec2>& positions = doc.pointPositions[photo];
    if (targets.size() != positions.size()) {
        throw std::invalid_argument("the fit does not match the document's feature points");
    }
    for (size_t i = 0; i < positions.size(); ++i) {
        const float dx = targets[i].x - positions[i].x;
        const float dy = targets[i].y - positions[i].y;
        if (dx == 0 && dy == 0) {
            continue;
        }
        // One point at full weight: every point gets its own target, so the hidden
        // neighbours a hand drag would pull along are placed by their own moves.
        PointWeightMap points{{static_cast<int32_t>(i), 1.0f}};
        VertexWeightMap vertices;
        doc.CollectVertexWeights(photo, points, vertices);
        doc.MovePoints(photo, points, vertices, dx, dy);
    }
}

void BlendZoneFollows(CVisomorfDoc& doc, const std::vector<Vec2>& before) {
    const std::vector<Vec2>& after = doc.pointPositions[Side];
    if (doc.blendZone.empty() || before.size() != after.size() || before.size() < 3) {
        return;
    }
    const Box b = doc.box[Side];
    const SmoothWarp warp(before, after, 0.15f * std::max(b.Width(), b.Height()),
                          SmoothWarp::FarField::AxisScales);
    for (Vec2& p : doc.blendZone) {
        p = warp.Map(p);
    }
    doc.UpdateBlendZone();
}

bool FitBothPhotos(CVisomorfDoc& doc, const std::vector<Vec2>& frontTargets,
                   const AlignedProfile& profile) {
    const std::vector<Vec2> before = doc.pointPositions[Side];
    if (!PutSideBoxAtFrontHeights(doc, profile)) {
        return false;
    }
    MovePointsTo(doc, Front, frontTargets);
    MovePointsTo(doc, Side, SideTargets(doc, profile));
    BlendZoneFollows(doc, before);
    return true;
}

} // namespace vm
