#pragma once
// Double-precision helpers for building the generic head; the file formats store floats, but the
// construction (surface search, triangulation, texture layout) needs the extra precision.
#include <cmath>

namespace vm::headgen {

struct D3 {
    double x = 0, y = 0, z = 0;
    D3 operator+(const D3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    D3 operator-(const D3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    D3 operator*(double s) const { return {x * s, y * s, z * s}; }
    D3 operator/(double s) const { return {x / s, y / s, z / s}; }
};

struct D2 {
    double x = 0, y = 0;
    D2 operator+(const D2& o) const { return {x + o.x, y + o.y}; }
    D2 operator-(const D2& o) const { return {x - o.x, y - o.y}; }
    D2 operator*(double s) const { return {x * s, y * s}; }
};

inline double Dot(const D3& a, const D3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline D3 Cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Len(const D3& a) {
    return std::sqrt(Dot(a, a));
}
inline D3 Unit(const D3& a) {
    const double l = Len(a);
    return l > 0 ? a / l : a;
}
inline D3 Mirror(const D3& a) {
    return {-a.x, a.y, a.z};
}

// Twice the signed area of the 2-D triangle (positive when a, b, c turn counter-clockwise).
inline double Orient(const D2& a, const D2& b, const D2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

constexpr double kPi = 3.14159265358979323846;
inline double Rad(double degrees) {
    return degrees * kPi / 180.0;
}

} // namespace vm::headgen
