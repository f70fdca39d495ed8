#include "platform/core/VMath.h"

namespace vm {

Matrix MatrixIdentity() {
    return Matrix{};
}

Matrix MatrixMultiply(const Matrix& a, const Matrix& b) {
    Matrix r;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += a.m[row][k] * b.m[k][col];
            }
            r.m[row][col] = sum;
        }
    }
    return r;
}

Matrix MatrixTranslation(float x, float y, float z) {
    Matrix r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix MatrixLookAtLH(const Vec3& eye, const Vec3& at, const Vec3& up) {
    const Vec3 zAxis = Normalize(at - eye);
    const Vec3 xAxis = Normalize(Cross(up, zAxis));
    const Vec3 yAxis = Cross(zAxis, xAxis);
    Matrix r;
    const Vec3 axes[3] = {xAxis, yAxis, zAxis};
    for (int col = 0; col < 3; ++col) {
        r.m[0][col] = axes[col].x;
        r.m[1][col] = axes[col].y;
        r.m[2][col] = axes[col].z;
        r.m[3][col] = -Dot(axes[col], eye);
    }
    return r;
}

Matrix MatrixOrthoOffCenterLH(float left, float right, float bottom, float top, float zn,
                              float zf) {
    Matrix r;
    r.m[0][0] = 2.0f / (right - left);
    r.m[1][1] = 2.0f / (top - bottom);
    r.m[2][2] = 1.0f / (zf - zn);
    r.m[3][0] = (left + right) / (left - right);
    r.m[3][1] = (top + bottom) / (bottom - top);
    r.m[3][2] = zn / (zn - zf);
    return r;
}

Matrix MatrixPerspectiveFovLH(float fovY, float aspect, float zn, float zf) {
    const float yScale = 1.0f / std::tan(fovY / 2);
    Matrix r;
    r.m[0][0] = yScale / aspect;
    r.m[1][1] = yScale;
    r.m[2][2] = zf / (zf - zn);
    r.m[2][3] = 1;
    r.m[3][2] = -zn * zf / (zf - zn);
    r.m[3][3] = 0;
    return r;
}

Matrix MatrixRotationQuaternion(const Quaternion& q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    Matrix r;
    r.m[0][0] = 1 - 2 * (yy + zz);
    r.m[0][1] = 2 * (xy + wz);
    r.m[0][2] = 2 * (xz - wy);
    r.m[1][0] = 2 * (xy - wz);
    r.m[1][1] = 1 - 2 * (xx + zz);
    r.m[1][2] = 2 * (yz + wx);
    r.m[2][0] = 2 * (xz + wy);
    r.m[2][1] = 2 * (yz - wx);
    r.m[2][2] = 1 - 2 * (xx + yy);
    return r;
}

namespace {

// Determinant of the 3x3 minor that leaves out one row and one column, in double precision so
// that the inverse of a view-projection product keeps its digits.
double Minor(const double a[4][4], int skipRow, int skipCol) {
    double s[3][3];
    for (int r = 0, i = 0; r < 4; ++r) {
        if (r == skipRow) {
            continue;
        }
        for (int c = 0, j = 0; c < 4; ++c) {
            if (c != skipCol) {
                s[i][j++] = a[r][c];
            }
        }
        ++i;
    }
    return s[0][0] * (s[1][1] * s[2][2] - s[1][2] * s[2][1]) -
           s[0][1] * (s[1][0] * s[2][2] - s[1][2] * s[2][0]) +
           s[0][2] * (s[1][0] * s[2][1] - s[1][1] * s[2][0]);
}

} // namespace

bool MatrixInverse(const Matrix& m, Matrix& out) {
    double a[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            a[r][c] = m.m[r][c];
        }
    }
    double cofactor[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const double sign = ((r + c) % 2 == 0) ? 1.0 : -1.0;
            cofactor[r][c] = sign * Minor(a, r, c);
        }
    }
    double det = 0;
    for (int c = 0; c < 4; ++c) {
        det += a[0][c] * cofactor[0][c];
    }
    if (det == 0 || !std::isfinite(det)) {
        return false;
    }
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            out.m[r][c] = static_cast<float>(cofactor[c][r] / det); // adjugate is transposed
        }
    }
    return true;
}

Quaternion QuaternionMultiply(const Quaternion& q1, const Quaternion& q2) {
    // Hamilton product a * b with a = q2, b = q1.
    const Quaternion& a = q2;
    const Quaternion& b = q1;
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

Quaternion QuaternionRotationAxis(const Vec3& axis, float angle) {
    const Vec3 unit = Normalize(axis);
    const float s = std::sin(angle / 2);
    return {unit.x * s, unit.y * s, unit.z * s, std::cos(angle / 2)};
}

Quaternion QuaternionNormalize(const Quaternion& q) {
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length == 0) {
        return {0, 0, 0, 0};
    }
    return {q.x / length, q.y / length, q.z / length, q.w / length};
}

Vec3 Vec3TransformCoord(const Vec3& v, const Matrix& m) {
    float out[4];
    for (int c = 0; c < 4; ++c) {
        out[c] = v.x * m.m[0][c] + v.y * m.m[1][c] + v.z * m.m[2][c] + m.m[3][c];
    }
    const float w = out[3];
    if (w == 0) {
        return {out[0], out[1], out[2]};
    }
    return {out[0] / w, out[1] / w, out[2] / w};
}

Vec3 Vec3TransformNormal(const Vec3& v, const Matrix& m) {
    return {v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0],
            v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1],
            v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2]};
}

Vec3 Vec3Unproject(const Vec3& windowPos, const Viewport& viewport, const Matrix& projection,
                   const Matrix& view, const Matrix& world) {
    const Matrix combined = MatrixMultiply(MatrixMultiply(world, view), projection);
    Matrix inverse;
    if (!MatrixInverse(combined, inverse)) {
        const float nan = std::nanf("");
        return {nan, nan, nan};
    }
    const Vec3 clip{2 * (windowPos.x - viewport.x) / viewport.width - 1,
                    1 - 2 * (windowPos.y - viewport.y) / viewport.height,
                    (windowPos.z - viewport.minZ) / (viewport.maxZ - viewport.minZ)};
    return Vec3TransformCoord(clip, inverse);
}

Vec3 Vec3Project(const Vec3& objectPos, const Viewport& viewport, const Matrix& projection,
                 const Matrix& view, const Matrix& world) {
    const Matrix combined = MatrixMultiply(MatrixMultiply(world, view), projection);
    const Vec3 clip = Vec3TransformCoord(objectPos, combined);
    return {viewport.x + (1 + clip.x) * viewport.width / 2,
            viewport.y + (1 - clip.y) * viewport.height / 2,
            viewport.minZ + clip.z * (viewport.maxZ - viewport.minZ)};
}

} // namespace vm
