#include "c3dsamples.h"

#include "export/c3daxes.h"
#include "model/poseevaluator.h"

namespace C3DSamples {

void convertRow(PoseEvaluator& pose, std::span<const double> row, double millimetresPerUnit,
                C3DPoint* samples)
{
    pose.evaluateRow(row);
    convertPose(pose, millimetresPerUnit, samples);
}

void convertPose(const PoseEvaluator& pose, double millimetresPerUnit, C3DPoint* samples)
{
    for (const Vector3f& p : pose.getPositions()) {
        const Eigen::Vector3d point = C3DAxes::fromBvh(p, millimetresPerUnit);
        *samples++ = {float(point.x()), float(point.y()), float(point.z()), 0};
    }
}

} // namespace C3DSamples
