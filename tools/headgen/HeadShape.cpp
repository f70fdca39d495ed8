#include "HeadShape.h"

#include <algorithm>
#include <cmath>

namespace vm::headgen {

namespace {

double Ellipsoid(const D3& p, const D3& centre, const D3& radii) {
    const D3 q = p - centre;
    const D3 a{q.x / radii.x, q.y / radii.y, q.z / radii.z};
    const D3 b{a.x / radii.x, a.y / radii.y, a.z / radii.z};
    const double k0 = Len(a);
    const double k1 = Len(b);
    return k1 > 0 ? k0 * (k0 - 1.0) / k1 : -std::min({radii.x, radii.y, radii.z});
}

double Capsule(const D3& p, const D3& a, const D3& b, double radius) {
    const D3 pa = p - a;
    const D3 ba = b - a;
    const double h = std::clamp(Dot(pa, ba) / Dot(ba, ba), 0.0, 1.0);
    return Len(pa - ba * h) - radius;
}

// A capsule whose radius changes from ra at a to rb at b.
double RoundCone(const D3& p, const D3& a, const D3& b, double ra, double rb) {
    const D3 ba = b - a;
    const double l2 = Dot(ba, ba);
    const double rr = ra - rb;
    const double a2 = l2 - rr * rr;
    const D3 pa = p - a;
    const double y = Dot(pa, ba);
    const double z = y - l2;
    const D3 t = pa * l2 - ba * y;
    const double x2 = Dot(t, t);
    const double y2 = y * y * l2;
    const double z2 = z * z * l2;
    const double k = (rr > 0 ? 1 : rr < 0 ? -1 : 0) * rr * rr * x2;
    if ((z > 0 ? 1 : -1) * a2 * z2 > k) {
        return std::sqrt(x2 + z2) / l2 - rb;
    }
    if ((y > 0 ? 1 : -1) * a2 * y2 < k) {
        return std::sqrt(x2 + y2) / l2 - ra;
    }
    return (std::sqrt(x2 * a2 / l2) + y * rr) / l2 - ra;
}

// Polynomial smooth minimum: blends two solids over a band of width k.
double SmoothUnion(double a, double b, double k) {
    const double h = std::max(k - std::abs(a - b), 0.0) / k;
    return std::min(a, b) - h * h * k * 0.25;
}

double SmoothCut(double a, double b, double k) {
    return -SmoothUnion(-a, b, k);
}

// Everything is modelled for x <= 0 and mirrored, so both halves agree to the last bit.
D3 LeftHalf(const D3& p) {
    return {-std::abs(p.x), p.y, p.z};
}

// Sizes follow published adult craniofacial norms at about 2.74 model units per millimetre
// (crown to chin about 230 mm, head breadth about 150 mm, outer eye corners about 91 mm apart);
// the exact extremes of the stored head then stretch each axis by a few per cent at most.
double Cranium(const D3& p) {
    double d = Ellipsoid(p, {0, 60, 30}, {200, 282, 262});
    // Rounder, broader top of the skull.
    d = SmoothUnion(d, Ellipsoid(p, {0, 165, 45}, {200, 175, 222}), 40);
    // A steeper forehead.
    d = SmoothUnion(d, Ellipsoid(p, {0, 120, -105}, {165, 140, 130}), 40);
    // Mid face between the cheekbones, broad enough to carry the eyes.
    d = SmoothUnion(d, Ellipsoid(p, {0, -20, -70}, {178, 150, 165}), 45);
    // Lower face and jaw mass, narrower than the skull.
    d = SmoothUnion(d, Ellipsoid(p, {0, -110, -40}, {150, 165, 180}), 45);
    // The curve of the teeth under the lips.
    d = SmoothUnion(d, Ellipsoid(p, {0, -168, -150}, {84, 66, 86}), 35);
    // Jaw line from the angle below the ear to the chin.
    d = SmoothUnion(d, Capsule(p, {-136, -168, 20}, {-44, -256, -166}, 20), 50);
    // The back edge of the jaw rising from its angle towards the ear.
    d = SmoothUnion(d, Capsule(p, {-140, -100, 45}, {-136, -168, 22}, 18), 40);
    // Chin.
    d = SmoothUnion(d, Ellipsoid(p, {0, -252, -188}, {54, 36, 40}), 40);
    return d;
}

// The neck below the jaw: narrower than the head, its front meeting the underside of the chin
// in a clear angle, its back curving in under the skull.
double Neck(const D3& p, double d) {
    const D3 q{p.x * 1.04, p.y, p.z};
    const double neck = Capsule(q, {0, -520, 75}, {0, -120, 25}, 142);
    return SmoothUnion(d, neck, 28);
}

double Brows(const D3& p, double d) {
    d = SmoothUnion(d, Ellipsoid(p, {-88, 64, -210}, {72, 18, 28}), 22);
    // Cheeks between the cheekbones and the mouth.
    d = SmoothUnion(d, Ellipsoid(p, {-104, -84, -178}, {56, 60, 40}), 34);
    // Cheekbones.
    d = SmoothUnion(d, Ellipsoid(p, {-148, -22, -150}, {52, 32, 52}), 34);
    return d;
}

double Eyes(const D3& p, double d) {
    // The socket under the brow, deep enough to shade the eye.
    d = SmoothCut(d, Ellipsoid(p, {-84, 28, -242}, {50, 32, 40}), 16);
    // Closed lids over the eyeball.
    d = SmoothUnion(d, Ellipsoid(p, {-84, 22, -194}, {41, 28, 38}), 10);
    return d;
}

double Nose(const D3& p, double d) {
    double n = RoundCone(p, {0, 40, -228}, {0, -92, -262}, 10, 20);
    n = SmoothUnion(n, Ellipsoid(p, {0, -104, -264}, {22, 22, 26}), 14);
    // Wings (alae) either side of the tip.
    n = SmoothUnion(n, Ellipsoid(p, {-30, -118, -240}, {19, 17, 21}), 14);
    // The columella, from the tip down to the lip between the nostrils.
    n = SmoothUnion(n, Capsule(p, {0, -112, -268}, {0, -132, -240}, 9), 10);
    d = SmoothUnion(d, n, 18);
    // Nostrils under the tip, seen from below rather than from the front.
    d = SmoothCut(d, Ellipsoid(p, {-16, -136, -250}, {8, 4, 10}), 3);
    return d;
}

double Mouth(const D3& p, double d) {
    // Upper and lower lip: full in the middle, thin at the corners, standing out of the skin
    // so that their border shows as an edge.
    d = SmoothUnion(d, Capsule(p, {-46, -171, -229}, {0, -165, -238}, 12), 5);
    d = SmoothUnion(d, RoundCone(p, {-66, -175, -212}, {-46, -171, -229}, 5, 12), 5);
    d = SmoothUnion(d, Capsule(p, {-42, -184, -226}, {0, -190, -234}, 13), 5);
    d = SmoothUnion(d, RoundCone(p, {-62, -180, -210}, {-42, -184, -226}, 5, 13), 5);
    // The line where the lips meet.
    d = SmoothCut(d, Capsule(p, {-74, -177, -228}, {0, -177, -252}, 3.5), 4);
    // The hollow between the lower lip and the chin.
    d = SmoothCut(d, Capsule(p, {-40, -213, -244}, {0, -214, -248}, 6), 12);
    return d;
}

} // namespace

D3 EarCentre() {
    return {-200, -30, 72};
}

namespace {

constexpr double kEarTilt = 14;   // degrees the ear's long axis leans back
constexpr double kEarFlare = 25;  // degrees the ear turns out of the head about its front edge
constexpr double kEarSize = 1.08; // model units per unit of the ear drawn below

// The ear in its own frame: a = up along the ear, b = backwards across it, c = out of its plane.
D3 EarFrame(const D3& p) {
    const D3 q = (p - EarCentre()) / kEarSize;
    const double tilt = Rad(kEarTilt), flare = Rad(kEarFlare);
    const double a = q.y * std::cos(tilt) + q.z * std::sin(tilt);
    const double z1 = -q.y * std::sin(tilt) + q.z * std::cos(tilt);
    const double b = -q.x * std::sin(flare) + z1 * std::cos(flare);
    const double c = -q.x * std::cos(flare) - z1 * std::sin(flare);
    return {a, b, c};
}

double Ears(const D3& point, double d) {
    const D3 f = EarFrame(point);
    // The rim (helix): a tube round the outline, from the front over the top and down the back.
    double ear = 1e9;
    D3 previous{};
    for (int k = 0; k <= 12; ++k) {
        const double t = Rad(200 - 245.0 * k / 12); // front, over the top, down the back
        const D3 rim{72 * std::sin(t) + 6, 42 * std::cos(t), 5};
        if (k > 0) {
            ear = std::min(ear, Capsule(f, previous, rim, 10));
        }
        previous = rim;
    }
    // The lobe, soft and thick.
    ear = SmoothUnion(ear, Ellipsoid(f, {-72, 4, 4}, {22, 20, 9}), 12);
    // The shell inside the rim, well below its crest.
    ear = SmoothUnion(ear, Ellipsoid(f, {2, 2, -9}, {74, 42, 6}), 5);
    // The antihelix ridge and the hollow of the concha in front of it.
    ear = SmoothUnion(ear, Capsule(f, {40, 10, -3}, {-34, 14, -4}, 7), 5);
    // The tragus, a small flap over the front of the concha.
    ear = SmoothUnion(ear, Ellipsoid(f, {-26, -32, 0}, {12, 8, 8}), 5);
    // Where the ear grows out of the head.
    ear = SmoothUnion(ear, Ellipsoid(f, {-10, -22, -18}, {40, 16, 22}), 10);
    // The hollow of the concha reaches into the head, down to the ear canal.
    return SmoothCut(SmoothUnion(d, ear, 8), Ellipsoid(f, {-18, -10, -6}, {28, 20, 18}), 5);
}

} // namespace

D3 HeadCentre() {
    return {0, 20, 25};
}

double HeadField(const D3& point) {
    const D3 p = LeftHalf(point);
    double d = Cranium(p);
    d = Neck(p, d);
    d = Brows(p, d);
    d = Eyes(p, d);
    d = Nose(p, d);
    d = Mouth(p, d);
    d = Ears(p, d);
    return d;
}

D3 EarToModel(double a, double b, double c) {
    const double tilt = Rad(kEarTilt), flare = Rad(kEarFlare);
    const double x = -b * std::sin(flare) - c * std::cos(flare);
    const double z1 = b * std::cos(flare) - c * std::sin(flare);
    const double y = a * std::cos(tilt) - z1 * std::sin(tilt);
    const double z = a * std::sin(tilt) + z1 * std::cos(tilt);
    return EarCentre() + D3{x, y, z} * kEarSize;
}

namespace {

// Walks from `outside` towards `inside` in fixed steps and refines the first crossing.
D3 FirstCrossing(const D3& outside, const D3& inside) {
    const double length = Len(inside - outside);
    const int steps = static_cast<int>(length / 1.5) + 1;
    D3 previous = outside;
    for (int i = 1; i <= steps; ++i) {
        const D3 current = outside + (inside - outside) * (static_cast<double>(i) / steps);
        if (HeadField(current) < 0) {
            D3 lo = previous, hi = current;
            for (int k = 0; k < 60; ++k) {
                const D3 mid = (lo + hi) * 0.5;
                (HeadField(mid) < 0 ? hi : lo) = mid;
            }
            return (lo + hi) * 0.5;
        }
        previous = current;
    }
    return inside;
}

} // namespace

D3 SurfaceBetween(const D3& outside, const D3& inside) {
    return FirstCrossing(outside, inside);
}

D3 SurfaceAlongRay(const D3& dir) {
    const D3 c = HeadCentre();
    return FirstCrossing(c + Unit(dir) * 700.0, c);
}

D3 SurfaceFromFront(double x, double y) {
    return FirstCrossing({x, y, -500}, {x, y, 100});
}

D3 SurfaceFromSide(double y, double z, double sideSign) {
    return FirstCrossing({sideSign * 500, y, z}, {0, y, z});
}

D3 SurfaceFromBelow(double x, double z) {
    return FirstCrossing({x, -600, z}, {x, 0, z});
}

} // namespace vm::headgen
