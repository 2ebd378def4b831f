#pragma once

#include <array>

// How a joint's three rotation values become its rotation matrix.
// - Fixed: Rx * Ry * Rz whatever the order of the CHANNELS line, the convention of the iPi
//   Studio files the program was made for, and the default everywhere.
// - Declared: the product of the elementary rotations in the order the joint's CHANNELS line
//   lists its rotation channels (Zrotation Xrotation Yrotation gives Rz * Rx * Ry), as most
//   other producers (CMU, Rokoko, Axis Neuron) mean it.
enum class RotationOrder
{
    Fixed,
    Declared
};

// The axes of a rotation product, left to right: 0 for x, 1 for y, 2 for z.
using RotationAxes = std::array<int, 3>;
inline constexpr RotationAxes fixedRotationAxes{0, 1, 2};
