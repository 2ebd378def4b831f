#pragma once

#include "model/rotationorder.h"
#include "model/vectortypes.h"

// The single-precision rotation arithmetic shared by pose evaluation and its per-frame cache.
// Every product is spelled out so that the order of the float operations, and with it every
// digit the exports write, does not depend on how a linear-algebra library schedules them.
namespace RotationMath {

// The degree/radian factors of the editors and the interpolation use pi = 3.14159, the value
// of iPi Studio files (see PoseConvention); an angle converted there and back keeps its value
// whatever pi a motion's poses use.
inline constexpr double degreesToRadians = 3.14159 / 180.0;
inline constexpr double radiansToDegrees = 180.0 / 3.14159;

inline Matrix3f multiply(const Matrix3f& a, const Matrix3f& b)
{
    Matrix3f result;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            result(r, c) = a(r, 0) * b(0, c) + a(r, 1) * b(1, c) + a(r, 2) * b(2, c);
    return result;
}

inline Vector3f transform(const Matrix3f& m, const Vector3f& v)
{
    return Vector3f(m(0, 0) * v.x() + m(0, 1) * v.y() + m(0, 2) * v.z(),
                    m(1, 0) * v.x() + m(1, 1) * v.y() + m(1, 2) * v.z(),
                    m(2, 0) * v.x() + m(2, 1) * v.y() + m(2, 2) * v.z());
}

// The elementary rotations, as built for multiply(): the reference the fast products below
// must match bit for bit.
Matrix3f rotationX(float radians);
Matrix3f rotationY(float radians);
Matrix3f rotationZ(float radians);

// Rx(x) * Ry(y) * Rz(z), multiplied as (Rx * Ry) * Rz; angles in radians. The same floats as
// multiply(multiply(rotationX(x), rotationY(y)), rotationZ(z)), signed zeros and NaNs
// included, at about half the cost.
Matrix3f fromRadians(float x, float y, float z);

// R(J) of a joint from its rotation values in degrees: each angle is multiplied by the float
// `pi` and then by the float 1/180, both products rounded to float.
Matrix3f fromJointDegrees(const Vector3f& degrees, float pi);

// The product of the elementary rotations about axes[0], axes[1], axes[2], in that order, each
// by its own angle (radians[axis]); multiplied as (R0 * R1) * R2. For the axes x, y, z it is
// fromRadians, bit for bit.
Matrix3f fromRadians(const Vector3f& radians, const RotationAxes& axes);
// The same from a joint's rotation values in degrees, converted as fromJointDegrees does.
Matrix3f fromJointDegrees(const Vector3f& degrees, const RotationAxes& axes, float pi);
// The angles (in the x, y, z slots, radians) of the product fromRadians(radians, axes) for a
// rotation matrix: the middle angle in [-pi/2, pi/2], the outer two in (-pi, pi]; in gimbal
// lock the last one is 0.
Eigen::Vector3d toRadians(const Matrix3f& matrix, const RotationAxes& axes);

} // namespace RotationMath
