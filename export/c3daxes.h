#pragma once

#include "model/vectortypes.h"

#include <Eigen/Core>

// How a BVH position becomes a C3D point: x negated, y and z exchanged, times 10 (centimetres
// to millimetres). The products are exact in double precision, so rounding them to float gives
// the float products bit for bit: the C3D export stores them as floats, the foot tables print
// them with 15 digits.
namespace C3DAxes {

inline Eigen::Vector3d fromBvh(const Vector3f& p)
{
    return Eigen::Vector3d(-10.0 * double(p.x()), 10.0 * double(p.z()), 10.0 * double(p.y()));
}

} // namespace C3DAxes
