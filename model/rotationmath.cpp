#include "rotationmath.h"

#include <algorithm>
#include <cmath>

namespace RotationMath {

// Sines and cosines are those of double precision rounded to float once,
// float(std::sin(double(x))) and float(std::cos(double(x))): the correctly rounded float on
// every platform. (A float sincosf is faster, but glibc's differs from this in the last bit
// for about one angle in eighty, and other C libraries differ again: the exports would no
// longer be the same everywhere.)
//
// The exports take millions of them, so sineCosine() computes both at once from one argument
// reduction and two short polynomials, to within 1e-13 of the true values, and rounds that to
// float only when everything within 2^-40 of it rounds alike. The double-precision library
// result lies within that band too (it is good to 1 ulp), so both round to the same float;
// in the rare other case, and for angles beyond the reduction's range, it asks the library.
namespace {

float librarySine(float radians)
{
    return float(std::sin(double(radians)));
}

float libraryCosine(float radians)
{
    return float(std::cos(double(radians)));
}

// `value` rounded to float when every double within 2^-40 of it rounds to the same float.
bool roundsSafely(double value, float& rounded)
{
    const double band = std::abs(value) * 0x1p-40;
    rounded = float(value);
    return float(value - band) == rounded && float(value + band) == rounded;
}

// Taylor series of sin r = r + r^3 (a0 + a1 z + ... + a5 z^5) and
// cos r = 1 + z (b0 + b1 z + ... + b6 z^6), z = r^2, to r^13 and r^14: on |r| <= pi/4 both are
// good to 3e-14 of the result. They are summed in pairs (Estrin's scheme), which leaves the
// processor fewer steps to wait for than one term after the other.
constexpr double a0 = -1.0 / 6, a1 = 1.0 / 120, a2 = -1.0 / 5040, a3 = 1.0 / 362880,
                 a4 = -1.0 / 39916800, a5 = 1.0 / 6227020800.0;
constexpr double b0 = -1.0 / 2, b1 = 1.0 / 24, b2 = -1.0 / 720, b3 = 1.0 / 40320,
                 b4 = -1.0 / 3628800, b5 = 1.0 / 479001600.0, b6 = -1.0 / 87178291200.0;

void sineCosine(float radians, float& sine, float& cosine)
{
    const double x = radians;
    if (x == 0.0) { // keeps the sign of zero, as the library does
        sine = radians;
        cosine = 1.0f;
        return;
    }
    if (!(std::abs(x) <= 1024.0)) { // large, infinite or NaN
        sine = librarySine(radians);
        cosine = libraryCosine(radians);
        return;
    }
    // x = k pi/2 + r with |r| <= pi/4. pi/2 is split in three parts whose first two have 33
    // significant bits, so that k times them (|k| <= 652) and the first difference are exact.
    constexpr double shifter = 0x1.8p52; // adding it rounds to an integer
    const double k = (x * 0x1.45f306dc9c883p-1 + shifter) - shifter;
    const double r = ((x - k * 0x1.921fb544p+0) - k * 0x1.0b4611a6p-34) - k * 0x1.3198a2e037073p-69;
    const double z = r * r, z2 = z * z, z4 = z2 * z2;
    const double s = r + r * z * ((a0 + a1 * z) + z2 * (a2 + a3 * z) + z4 * (a4 + a5 * z));
    const double c =
        1.0 + z * ((b0 + b1 * z) + z2 * (b2 + b3 * z) + z4 * ((b4 + b5 * z) + z2 * b6));
    // The quadrant k mod 4 picks sin or cos of r and their signs; by table, as the angles of a
    // motion fall in every quadrant and a branch would guess wrong half the time.
    const int quadrant = int(k) & 3;
    const double values[2] = {s, c};
    constexpr double signs[2] = {1.0, -1.0};
    const double sineValue = values[quadrant & 1] * signs[quadrant >> 1];
    const double cosineValue = values[(quadrant & 1) ^ 1] * signs[((quadrant + 1) >> 1) & 1];
    if (!roundsSafely(sineValue, sine))
        sine = librarySine(radians);
    if (!roundsSafely(cosineValue, cosine))
        cosine = libraryCosine(radians);
}

// sineCosine() for three angles at once: the same arithmetic, lane by lane, on vectors of
// doubles, which the processor computes two or four at a time. Every operation is an IEEE
// operation on each lane alone, so each result is the one sineCosine() gives, bit for bit.
// On processors with AVX2 a version of its own takes all four lanes at once (FMA is not
// enabled: a fused multiply-add rounds once where the scalar code rounds twice).
using Lanes = double __attribute__((vector_size(32)));

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx2", "default")))
#endif
void sineCosines(const float radians[3], float sines[3], float cosines[3])
{
    Lanes x = {radians[0], radians[1], radians[2], 0.0};
    bool plain[3];
    for (int lane = 0; lane < 3; ++lane) {
        plain[lane] = x[lane] != 0.0 && std::abs(x[lane]) <= 1024.0;
        if (!plain[lane])
            x[lane] = 0.0; // computed apart below
    }
    constexpr double shifter = 0x1.8p52;
    const Lanes k = (x * 0x1.45f306dc9c883p-1 + shifter) - shifter;
    const Lanes r = ((x - k * 0x1.921fb544p+0) - k * 0x1.0b4611a6p-34) - k * 0x1.3198a2e037073p-69;
    const Lanes z = r * r, z2 = z * z, z4 = z2 * z2;
    const Lanes s = r + r * z * ((a0 + a1 * z) + z2 * (a2 + a3 * z) + z4 * (a4 + a5 * z));
    const Lanes c = 1.0 + z * ((b0 + b1 * z) + z2 * (b2 + b3 * z) + z4 * ((b4 + b5 * z) + z2 * b6));
    constexpr double signs[2] = {1.0, -1.0};
    for (int lane = 0; lane < 3; ++lane) {
        if (!plain[lane]) {
            sineCosine(radians[lane], sines[lane], cosines[lane]);
            continue;
        }
        const int quadrant = int(k[lane]) & 3;
        const double values[2] = {s[lane], c[lane]};
        const double sineValue = values[quadrant & 1] * signs[quadrant >> 1];
        const double cosineValue = values[(quadrant & 1) ^ 1] * signs[((quadrant + 1) >> 1) & 1];
        if (!roundsSafely(sineValue, sines[lane]))
            sines[lane] = librarySine(radians[lane]);
        if (!roundsSafely(cosineValue, cosines[lane]))
            cosines[lane] = libraryCosine(radians[lane]);
    }
}

struct SineCosine
{
    float cosine, sine;
    explicit SineCosine(float radians) { sineCosine(radians, sine, cosine); }
};

} // namespace

Matrix3f rotationX(float radians)
{
    const auto [c, s] = SineCosine(radians);
    Matrix3f m;
    m << 1, 0, 0, //
        0, c, -s, //
        0, s, c;
    return m;
}

Matrix3f rotationY(float radians)
{
    const auto [c, s] = SineCosine(radians);
    Matrix3f m;
    m << c, 0, s, //
        0, 1, 0,  //
        -s, 0, c;
    return m;
}

Matrix3f rotationZ(float radians)
{
    const auto [c, s] = SineCosine(radians);
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
    const float angles[3] = {radians[axes[0]], radians[axes[1]], radians[axes[2]]};
    float sines[3], cosines[3];
    sineCosines(angles, sines, cosines);
    Rows factors[3];
    for (int k = 0; k < 3; ++k)
        factors[k] = elementary(axes[size_t(k)], cosines[k], sines[k]);
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
    const float angles[3] = {x, y, z};
    float sines[3], cosines[3];
    sineCosines(angles, sines, cosines);
    const float cx = cosines[0], sx = sines[0], cy = cosines[1], sy = sines[1], cz = cosines[2],
                sz = sines[2];
    const Rows rx{1, 0, 0, 0, cx, -sx, 0, sx, cx};
    const Rows ry{cy, 0, sy, 0, 1, 0, -sy, 0, cy};
    const Rows rz{cz, -sz, 0, sz, cz, 0, 0, 0, 1};
    return toMatrix(product(product(rx, ry), rz));
}

static float jointRadians(float degrees, float pi)
{
    const float scaled = degrees * pi;
    if (std::isinf(scaled) && std::isfinite(degrees)) [[unlikely]] {
        // Beyond about 1e38 degrees the product leaves the float range. Whole turns change no
        // rotation, and fmod is exact: the angle within one turn is the same rotation.
        return std::fmod(degrees, 360.0f) * pi * (1.0f / 180.0f);
    }
    return scaled * (1.0f / 180.0f);
}

Matrix3f fromJointDegrees(const Vector3f& degrees, float pi)
{
    return fromRadians(jointRadians(degrees.x(), pi), jointRadians(degrees.y(), pi),
                       jointRadians(degrees.z(), pi));
}

Matrix3f fromJointDegrees(const Vector3f& degrees, const RotationAxes& axes, float pi)
{
    return fromRadians(Vector3f(jointRadians(degrees.x(), pi), jointRadians(degrees.y(), pi),
                                jointRadians(degrees.z(), pi)),
                       axes);
}

} // namespace RotationMath
