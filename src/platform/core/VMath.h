#pragma once
// Small vector and matrix math with the conventions the model and the 3D view use:
// row vectors (v' = v * M), left-handed coordinate frames, quaternions (x, y, z, w).
#include <cmath>

namespace vm {

struct Vec2 {
    float x = 0, y = 0;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    bool operator==(const Vec3&) const = default;
};

struct Vec4 {
    float x = 0, y = 0, z = 0, w = 0;
};

struct Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
};

// m[row][column]; a point transforms as the row vector (x, y, z, 1) times the matrix.
struct Matrix {
    float m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

struct Viewport {
    float x = 0, y = 0, width = 0, height = 0, minZ = 0, maxZ = 1;
};

// Inline: mesh services call these in their inner loops on every drag step.
inline float Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float Length(const Vec3& v) {
    return std::sqrt(Dot(v, v));
}
// The zero vector stays zero.
inline Vec3 Normalize(const Vec3& v) {
    const float length = Length(v);
    return length > 0 ? v * (1.0f / length) : Vec3{};
}

Matrix MatrixIdentity();
Matrix MatrixMultiply(const Matrix& a, const Matrix& b); // a then b
Matrix MatrixTranslation(float x, float y, float z);
Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up);
Matrix MatrixOrthoOffCenterLH(float left, float right, float bottom, float top, float zn, float zf);
Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zn, float zf);
Matrix MatrixRotationQuaternion(const Quaternion& q);
bool MatrixInverse(const Matrix& m, Matrix& out); // false when singular

// Same order rule as the classic D3DX call: the result is q2 * q1 (Hamilton product),
// i.e. the rotation q1 followed by q2.
Quaternion QuaternionMultiply(const Quaternion& q1, const Quaternion& q2);
Quaternion QuaternionRotationAxis(const Vec3& axis, float angle);
Quaternion QuaternionNormalize(const Quaternion& q);

Vec3 Vec3TransformCoord(const Vec3& v, const Matrix& m);  // divides by w
Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m); // ignores translation
// Window position (x, y in viewport pixels, z depth in minZ..maxZ) back to object space
// (all NaN when the transforms are singular).
Vec3 Vec3Unproject(const Vec3& windowPos, const Viewport& viewport, const Matrix& projection,
                   const Matrix& view, const Matrix& world);
Vec3 Vec3Project(const Vec3& objectPos, const Viewport& viewport, const Matrix& projection,
                 const Matrix& view, const Matrix& world);

} // namespace vm
