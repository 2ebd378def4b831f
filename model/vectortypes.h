#pragma once

#include <Eigen/Core>

// Positions, rotations and centres of mass are single precision throughout the program; the
// frame table alone keeps doubles. Eigen's matrices are column-major: element (r, c) lives at
// index 3 * c + r of data().
using Vector3f = Eigen::Vector3f;
using Matrix3f = Eigen::Matrix3f;
// A quaternion is stored as (x, y, z, w), w being the scalar part.
using Vector4f = Eigen::Vector4f;
