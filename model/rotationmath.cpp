#include "rotationmath.h"

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

} // namespace

Matrix3f fromRadians(float x, float y, float z)
{
    const float cx = cosine(x), sx = sine(x);
    const float cy = cosine(y), sy = sine(y);
    const float cz = cosine(z), sz = sine(z);
    const Rows rx{1, 0, 0, 0, cx, -sx, 0, sx, cx};
    const Rows ry{cy, 0, sy, 0, 1, 0, -sy, 0, cy};
    const Rows rz{cz, -sz, 0, sz, cz, 0, 0, 0, 1};
    const Rows r = product(product(rx, ry), rz);
    Matrix3f m;
    m << r.m00, r.m01, r.m02, //
        r.m10, r.m11, r.m12,  //
        r.m20, r.m21, r.m22;
    return m;
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

} // namespace RotationMath
