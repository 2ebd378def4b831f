#pragma once

#include "export/c3dpoint.h"

#include <QList>

class PoseEvaluator;

namespace C3DSamples {

// Evaluates one frame row and writes the sample of every joint (C3DAxes) from `samples` on.
void convertRow(PoseEvaluator& pose, const QList<double>& row, C3DPoint* samples);

} // namespace C3DSamples
