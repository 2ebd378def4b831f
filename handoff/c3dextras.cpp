#include "c3dextras.h"

#include "export/c3daxes.h"
#include "gait/motionanalysis.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

C3DExport::ExtraPoints C3DExtras::of(const MotionAnalysis& analysis, bool centres, bool angles,
                                     double millimetresPerUnit, FrameRange frames)
{
    C3DExport::ExtraPoints extra;
    const size_t n = size_t(frames.count());
    const Eigen::Vector3d none =
        Eigen::Vector3d::Constant(std::numeric_limits<double>::quiet_NaN());
    // Where the analysis holds the i-th frame of the file; -1 where it does not.
    const auto at = [&](size_t i) { return analysis.indexOf(frames.first + int(i)); };
    if (centres) {
        for (const auto& [label, track] :
             {std::pair{QStringLiteral("CentreOfMass"), &analysis.centre},
              {QStringLiteral("XCoM"), &analysis.extrapolatedCentre}}) {
            std::vector<Eigen::Vector3d> samples(n, none);
            for (size_t i = 0; i < n; ++i) {
                if (const int k = at(i); k >= 0)
                    samples[i] = C3DAxes::fromBvh((*track)[size_t(k)], millimetresPerUnit);
            }
            extra.labels.append(label);
            extra.samples.push_back(std::move(samples));
        }
    }
    if (!angles)
        return extra;
    using A = JointAngles::Angle;
    constexpr A unused = JointAngles::angleCount;
    const struct
    {
        const char* name;
        std::array<A, 3> components;
    } joints[] = {
        {"PelvisAngles",
         {JointAngles::PelvisTilt, JointAngles::PelvisObliquity, JointAngles::PelvisRotation}},
        {"HipAngles", {JointAngles::HipFlexion, JointAngles::HipAdduction, unused}},
        {"KneeAngles", {JointAngles::KneeFlexion, unused, unused}},
        {"AnkleAngles", {JointAngles::AnkleDorsiflexion, unused, unused}},
        {"FootProgressAngles", {unused, unused, JointAngles::FootProgression}},
        {"TrunkAngles",
         {JointAngles::TrunkFlexion, JointAngles::TrunkLateralBending,
          JointAngles::TrunkRotation}}};
    for (const char* side : {"L", "R"}) {
        const size_t s = side[0] == 'L' ? 0 : 1;
        for (const auto& joint : joints) {
            const auto measured = [&](A angle) {
                return angle != unused && analysis.angles.has(angle);
            };
            if (std::none_of(joint.components.begin(), joint.components.end(), measured))
                continue;
            std::vector<Eigen::Vector3d> samples(n, none);
            for (size_t i = 0; i < n; ++i) {
                const int k = at(i);
                if (k < 0)
                    continue;
                samples[i].setZero();
                for (int axis = 0; axis < 3; ++axis) {
                    const A angle = joint.components[size_t(axis)];
                    if (measured(angle))
                        samples[i][axis] = analysis.angles.degrees[s][size_t(angle)][size_t(k)];
                }
            }
            const QString label = QLatin1String(side) + QLatin1String(joint.name);
            extra.labels.append(label);
            extra.angles.append(label);
            extra.samples.push_back(std::move(samples));
        }
    }
    return extra;
}
