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

double Cranium(const D3& p) {
    double d = Ellipsoid(p, {0, 60, 30}, {196, 282, 262});
    // Rounder, broader top of the skull.
    d = SmoothUnion(d, Ellipsoid(p, {0, 165, 45}, {196, 175, 222}), 40);
    // A steeper forehead.
    d = SmoothUnion(d, Ellipsoid(p, {0, 115, -110}, {150, 135, 125}), 40);
    // Lower face and jaw mass, narrower than the skull.
    d = SmoothUnion(d, Ellipsoid(p, {0, -110, -30}, {182, 225, 192}), 50);
    // The curve of the teeth under the lips.
    d = SmoothUnion(d, Ellipsoid(p, {0, -185, -150}, {85, 70, 72}), 40);
    // Jaw line from the angle below the ear to the chin.
    d = SmoothUnion(d, Capsule(p, {-128, -215, 10}, {-48, -296, -150}, 26), 40);
    // Chin.
    d = SmoothUnion(d, Ellipsoid(p, {0, -284, -168}, {62, 42, 50}), 40);
    // Neck, leaning slightly forward at the bottom.
    const D3 q{p.x * 1.08, p.y, p.z};
    d = SmoothUnion(d, Capsule(q, {0, -470, 35}, {0, -60, 80}, 138), 60);
    return d;
}

double Brows(const D3& p, double d) {
    d = SmoothUnion(d, Ellipsoid(p, {-56, 40, -214}, {56, 17, 24}), 22);
    // Cheeks between the cheekbones and the mouth.
    d = SmoothUnion(d, Ellipsoid(p, {-82, -125, -178}, {58, 68, 40}), 30);
    // Cheekbones.
    d = SmoothUnion(d, Ellipsoid(p, {-118, -40, -160}, {60, 32, 48}), 34);
    return d;
}

double Eyes(const D3& p, double d) {
    d = SmoothCut(d, Ellipsoid(p, {-60, 6, -246}, {38, 27, 34}), 14);
    // Closed lids over the eyeball.
    d = SmoothUnion(d, Ellipsoid(p, {-60, 6, -198}, {37, 33, 38}), 10);
    return d;
}

double Nose(const D3& p, double d) {
    double n = RoundCone(p, {0, 16, -216}, {0, -92, -258}, 11, 22);
    n = SmoothUnion(n, Ellipsoid(p, {0, -104, -262}, {22, 22, 26}), 14);
    n = SmoothUnion(n, Ellipsoid(p, {-28, -117, -236}, {17, 16, 20}), 12);
    d = SmoothUnion(d, n, 14);
    // Nostrils under the tip.
    d = SmoothCut(d, Ellipsoid(p, {-14, -133, -254}, {8, 6, 12}), 5);
    return d;
}

double Mouth(const D3& p, double d) {
    d = SmoothUnion(d, Capsule(p, {-44, -185, -220}, {0, -183, -230}, 11), 12);
    d = SmoothUnion(d, Capsule(p, {-40, -207, -216}, {0, -208, -225}, 12), 12);
    // The line where the lips meet.
    d = SmoothCut(d, Capsule(p, {-56, -196, -246}, {0, -196, -246}, 3), 5);
    return d;
}

double Ears(const D3& p, double d) {
    // Tilted flap behind the jaw, with the bowl of the ear pressed in.
    const D3 c{-206, -35, 45};
    const D3 q = p - c;
    const double s = std::sin(Rad(12)), co = std::cos(Rad(12));
    const D3 r{q.x, q.y * co - q.z * s, q.y * s + q.z * co};
    double ear = Ellipsoid(r, {0, 0, 0}, {24, 70, 44});
    ear = SmoothCut(ear, Ellipsoid(r, {-22, -18, -6}, {5, 22, 13}), 4);
    return SmoothUnion(d, ear, 14);
}

} // namespace

D3 HeadCentre() {
    return {0, 20, 25};
}

double HeadField(const D3& point) {
    const D3 p = LeftHalf(point);
    double d = Cranium(p);
    d = Brows(p, d);
    d = Eyes(p, d);
    d = Nose(p, d);
    d = Mouth(p, d);
    d = Ears(p, d);
    return d;
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
