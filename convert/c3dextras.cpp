#include "c3dextras.h"

#include "export/c3daxes.h"
#include "physics/motionanalysis.h"

#include <array>
#include <utility>

C3DExport::ExtraPoints C3DExtras::of(const MotionAnalysis& analysis, bool centres, bool angles,
                                     double millimetresPerUnit)
{
    C3DExport::ExtraPoints extra;
    const size_t n = size_t(analysis.size());
    if (centres) {
        for (const auto& [label, track] :
             {std::pair{QStringLiteral("CentreOfMass"), &analysis.centre},
              {QStringLiteral("XCoM"), &analysis.extrapolatedCentre}}) {
            std::vector<Eigen::Vector3d> samples(n);
            for (size_t i = 0; i < n; ++i)
                samples[i] = C3DAxes::fromBvh((*track)[i], millimetresPerUnit);
            extra.labels.append(label);
            extra.samples.push_back(std::move(samples));
        }
    }
    if (!angles)
        return extra;
    using A = JointAngles::Angle;
    constexpr A none = JointAngles::angleCount;
    const struct
    {
        const char* name;
        std::array<A, 3> components;
    } joints[] = {
        {"PelvisAngles",
         {JointAngles::PelvisTilt, JointAngles::PelvisObliquity, JointAngles::PelvisRotation}},
        {"HipAngles", {JointAngles::HipFlexion, JointAngles::HipAdduction, none}},
        {"KneeAngles", {JointAngles::KneeFlexion, none, none}},
        {"AnkleAngles", {JointAngles::AnkleDorsiflexion, none, none}},
        {"TrunkAngles",
         {JointAngles::TrunkFlexion, JointAngles::TrunkLateralBending,
          JointAngles::TrunkRotation}}};
    for (const char* side : {"L", "R"}) {
        const size_t s = side[0] == 'L' ? 0 : 1;
        for (const auto& joint : joints) {
            if (!analysis.angles.has(joint.components[0]))
                continue;
            std::vector<Eigen::Vector3d> samples(n, Eigen::Vector3d::Zero());
            for (int axis = 0; axis < 3; ++axis) {
                const A angle = joint.components[size_t(axis)];
                if (angle == none || !analysis.angles.has(angle))
                    continue;
                for (size_t i = 0; i < n; ++i)
                    samples[i][axis] = analysis.angles.degrees[s][size_t(angle)][i];
            }
            const QString label = QLatin1String(side) + QLatin1String(joint.name);
            extra.labels.append(label);
            extra.angles.append(label);
            extra.samples.push_back(std::move(samples));
        }
    }
    return extra;
}
