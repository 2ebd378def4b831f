#pragma once

#include "model/rotationorder.h"

// What a position channel means for a joint's place in its parent.
// - AddToOffset: the channels move the joint away from its OFFSET (iPi Studio files, whose
//   root OFFSET is zero).
// - ReplaceOffset: the channels are the joint's translation; each one stands for the matching
//   OFFSET component, as most producers and Blender read them (Rokoko and Axis Neuron give the
//   rest pose in OFFSET and the place in the channels).
enum class PositionChannels
{
    AddToOffset,
    ReplaceOffset
};

// How a motion's channel values become a pose: the rotation product, the meaning of position
// channels and the value of pi that turns degrees into radians.
struct PoseConvention
{
    // The pi of iPi Studio files: files written by earlier versions and scripts built on them
    // depend on those digits.
    static constexpr float approximatePi = 3.14159f;
    // The float nearest pi (std::numbers::pi_v<float>, spelled out: the headers of QObject
    // classes include this one, and moc cannot read <numbers>).
    static constexpr float exactPi = 3.14159265358979323846f;

    RotationOrder rotationOrder = RotationOrder::Fixed;
    PositionChannels positionChannels = PositionChannels::AddToOffset;
    float pi = approximatePi;

    // The convention of iPi Studio files, the default everywhere.
    static constexpr PoseConvention ipiStudio() { return {}; }
    // The convention of most other producers: rotations in the declared channel order,
    // position channels replacing OFFSET, the float nearest pi.
    static constexpr PoseConvention standard()
    {
        return {RotationOrder::Declared, PositionChannels::ReplaceOffset, exactPi};
    }

    bool operator==(const PoseConvention&) const = default;
};
