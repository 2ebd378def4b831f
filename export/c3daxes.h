#pragma once

#include "model/vectortypes.h"

#include <Eigen/Core>

// How a BVH position (a joint's in float, a centre of mass in double) becomes a C3D point: x
// negated, y and z exchanged, and scaled from the motion's length unit to millimetres (times 10
// for centimetres). For centimetres, metres and millimetres the products are exact in double
// precision, so rounding them to float gives the float products bit for bit: the C3D export
// stores them as floats, the foot tables print them with 15 digits.
namespace C3DAxes {

inline constexpr double centimetresInMillimetres = 10.0;

inline Eigen::Vector3d fromBvh(const Eigen::Vector3d& p,
                               double millimetresPerUnit = centimetresInMillimetres)
{
    return Eigen::Vector3d(-millimetresPerUnit * p.x(), millimetresPerUnit * p.z(),
                           millimetresPerUnit * p.y());
}

inline Eigen::Vector3d fromBvh(const Vector3f& p,
                               double millimetresPerUnit = centimetresInMillimetres)
{
    return fromBvh(Eigen::Vector3d(p.cast<double>()), millimetresPerUnit);
}

} // namespace C3DAxes
