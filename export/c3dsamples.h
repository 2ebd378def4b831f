#pragma once

#include "export/c3dpoint.h"

#include <QList>

class PoseEvaluator;

namespace C3DSamples {

// Evaluates one frame row and writes the sample of every joint (C3DAxes, for a motion whose
// unit is `millimetresPerUnit` millimetres) from `samples` on.
void convertRow(PoseEvaluator& pose, const QList<double>& row, double millimetresPerUnit,
                C3DPoint* samples);

} // namespace C3DSamples
