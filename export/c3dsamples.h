#pragma once

#include "export/c3dpoint.h"

#include <span>

class PoseEvaluator;

namespace C3DSamples {

// Writes the sample of every joint of the pose last evaluated (C3DAxes, for a motion whose
// unit is `millimetresPerUnit` millimetres) from `samples` on.
void convertPose(const PoseEvaluator& pose, double millimetresPerUnit, C3DPoint* samples);
// Evaluates one frame row and converts its pose.
void convertRow(PoseEvaluator& pose, std::span<const double> row, double millimetresPerUnit,
                C3DPoint* samples);

} // namespace C3DSamples
