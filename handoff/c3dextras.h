#pragma once

#include "export/c3dexport.h"
#include "model/framerange.h"

struct MotionAnalysis;

namespace C3DExtras {

// The points a C3D file adds after the joints for gait software: the filtered centre of mass
// (CentreOfMass) and the extrapolated centre (XCoM) as places in the file's axes and
// millimetres, and each joint's angles in degrees as points (LHipAngles, RKneeAngles, ...),
// x, y and z the flexion, ab/adduction and rotation (0 for a component the landmarks do not
// give), listed as angles. One sample per frame of `frames`, not finite (written as invalid)
// where the analysis has none.
C3DExport::ExtraPoints of(const MotionAnalysis& analysis, bool centres, bool angles,
                          double millimetresPerUnit, FrameRange frames);

} // namespace C3DExtras
