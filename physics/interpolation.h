#pragma once

#include "model/framerange.h"
#include "model/framerows.h"
#include "model/progresssink.h"
#include "model/rotationorder.h"
#include "model/vectortypes.h"

#include <QList>

class BvhFile;
class BvhJoint;

// Fills a gap in a joint's rotation: each frame after the first of a range, up to and including
// the last, takes the normalised blend of the rotations of the range's two end frames, taken
// the short way round (the last frame keeps its rotation, written as the blend writes angles).
// The rotations are read and written in the motion's rotation order; each angle is computed in
// single precision and stored as the decimal that float prints as (NumberFormat::decimalOf),
// so a saved file holds what the table held.
namespace Interpolation {

// Interpolates the rotations of the selected joints (flags in getAllJoints() order) between
// range.first and range.last, in the rows of `motion`; the range is cut to the rows that
// exist. The joints keep the values they hold.
// The rows of the range (cut to the rows that exist) as interpolating the selected joints
// leaves them; the motion is not changed.
FrameRows interpolatedRows(const BvhFile& motion, const QList<bool>& selection,
                           const FrameRange& range, RotationOrder order,
                           ProgressSink* progress = nullptr);
void interpolateJoints(BvhFile& motion, const QList<bool>& selection, const FrameRange& range,
                       RotationOrder order, ProgressSink* progress = nullptr);
void interpolateJoint(BvhFile& motion, const BvhJoint& joint, const FrameRange& range,
                      RotationOrder order);

// Scales to unit length; a quaternion of length 0 (or not finite) becomes no rotation.
void normalizeQuaternion(Vector4f& quaternion);

} // namespace Interpolation
