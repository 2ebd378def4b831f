#include "rotationmath.h"

#include <algorithm>
#include <cmath>

namespace RotationMath {

// Cosines and sines are taken in double precision and rounded to float once, which gives the
// correctly rounded float on every platform. (A float sincosf is faster, but glibc's differs
// from this in the last bit for about one angle in eighty, and other C libraries differ
// again: the exports would no longer be the same everywhere.)
static float cosine(float radians)
{
    return float(std::cos(double(radians)));
}
static float sine(float radians)
{
    return float(std::sin(double(radians)));
}

Matrix3f rotationX(float radians)
{
    const float c = cosine(radians), s = sine(radians);
    Matrix3f m;
    m << 1, 0, 0, //
        0, c, -s, //
        0, s, c;
    return m;
}

Matrix3f rotationY(float radians)
{
    const float c = cosine(radians), s = sine(radians);
    Matrix3f m;
    m << c, 0, s, //
        0, 1, 0,  //
        -s, 0, c;
    return m;
}

Matrix3f rotationZ(float radians)
{
    const float c = cosine(radians), s = sine(radians);
    Matrix3f m;
    m << c, -s, 0, //
        s, c, 0,   //
        0, 0, 1;
    return m;
}

namespace {

// A 3x3 matrix as nine scalars (row by row), so that after inlining the compiler sees which
// elements are the constants 0 and 1.
struct Rows
{
    float m00, m01, m02, m10, m11, m12, m20, m21, m22;
};

// multiply() written out. The compiler may drop only what IEEE arithmetic allows: a product
// with the constant 1, and products and sums of constants. A term like 0 * s stays, since
// it is -0 or NaN for some s, and so does x + 0, which turns -0 into +0; that is what keeps
// the result identical to the generic product.
inline Rows product(const Rows& a, const Rows& b)
{
    return {a.m00 * b.m00 + a.m01 * b.m10 + a.m02 * b.m20,
            a.m00 * b.m01 + a.m01 * b.m11 + a.m02 * b.m21,
            a.m00 * b.m02 + a.m01 * b.m12 + a.m02 * b.m22,
            a.m10 * b.m00 + a.m11 * b.m10 + a.m12 * b.m20,
            a.m10 * b.m01 + a.m11 * b.m11 + a.m12 * b.m21,
            a.m10 * b.m02 + a.m11 * b.m12 + a.m12 * b.m22,
            a.m20 * b.m00 + a.m21 * b.m10 + a.m22 * b.m20,
            a.m20 * b.m01 + a.m21 * b.m11 + a.m22 * b.m21,
            a.m20 * b.m02 + a.m21 * b.m12 + a.m22 * b.m22};
}

// The elementary rotation about one axis (0 x, 1 y, 2 z), laid out as rotationX/Y/Z.
inline Rows elementary(int axis, float c, float s)
{
    switch (axis) {
    case 0:
        return {1, 0, 0, 0, c, -s, 0, s, c};
    case 1:
        return {c, 0, s, 0, 1, 0, -s, 0, c};
    default:
        return {c, -s, 0, s, c, 0, 0, 0, 1};
    }
}

Matrix3f toMatrix(const Rows& r)
{
    Matrix3f m;
    m << r.m00, r.m01, r.m02, //
        r.m10, r.m11, r.m12,  //
        r.m20, r.m21, r.m22;
    return m;
}

} // namespace

Matrix3f fromRadians(const Vector3f& radians, const RotationAxes& axes)
{
    Rows factors[3];
    for (int k = 0; k < 3; ++k) {
        const float angle = radians[axes[size_t(k)]];
        factors[k] = elementary(axes[size_t(k)], cosine(angle), sine(angle));
    }
    return toMatrix(product(product(factors[0], factors[1]), factors[2]));
}

Eigen::Vector3d toRadians(const Matrix3f& m, const RotationAxes& axes)
{
    // For R = Ri(a) Rj(b) Rk(c), with s = +1 when (i, j, k) is a cyclic order of (x, y, z) and
    // -1 otherwise: R(i, k) = s sin b, and a and c follow from the rest of row i and column k.
    const int i = axes[0], j = axes[1], k = axes[2];
    const double s = (j - i + 3) % 3 == 1 ? 1.0 : -1.0;
    const double rik = std::clamp(s * double(m(i, k)), -1.0, 1.0);
    const double b = std::asin(rik);
    const double cosB = std::sqrt(double(m(i, i)) * m(i, i) + double(m(i, j)) * m(i, j));
    double a = 0.0, c = 0.0;
    if (cosB > 1e-6) {
        a = std::atan2(-s * double(m(j, k)), double(m(k, k)));
        c = std::atan2(-s * double(m(i, j)), double(m(i, i)));
    } else {
        // Gimbal lock: only a + c (or a - c) is defined; put all of it into a.
        a = std::atan2(s * double(m(k, j)), double(m(j, j)));
    }
    Eigen::Vector3d radians;
    radians[i] = a;
    radians[j] = b;
    radians[k] = c;
    return radians;
}

Matrix3f fromRadians(float x, float y, float z)
{
    const float cx = cosine(x), sx = sine(x);
    const float cy = cosine(y), sy = sine(y);
    const float cz = cosine(z), sz = sine(z);
    const Rows rx{1, 0, 0, 0, cx, -sx, 0, sx, cx};
    const Rows ry{cy, 0, sy, 0, 1, 0, -sy, 0, cy};
    const Rows rz{cz, -sz, 0, sz, cz, 0, 0, 0, 1};
    return toMatrix(product(product(rx, ry), rz));
}

static float jointRadians(float degrees)
{
    const float scaled = degrees * piApproximation;
    return scaled * (1.0f / 180.0f);
}

Matrix3f fromJointDegrees(const Vector3f& degrees)
{
    return fromRadians(jointRadians(degrees.x()), jointRadians(degrees.y()),
                       jointRadians(degrees.z()));
}

Matrix3f fromJointDegrees(const Vector3f& degrees, const RotationAxes& axes)
{
    return fromRadians(
        Vector3f(jointRadians(degrees.x()), jointRadians(degrees.y()), jointRadians(degrees.z())),
        axes);
}

} // namespace RotationMath
