#include "motionsetup.h"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "model/numberformat.h"
#include "physics/masssegmentfile.h"
#include "physics/skeletonprofiles.h"

#include <QFile>

static const QString workingFolderModel = QStringLiteral("defaultMassSegments.xml");

QString MotionSetup::summary() const
{
    QString text =
        QStringLiteral("%1 profile (%2)")
            .arg(profile.title, detected ? QStringLiteral("detected") : QStringLiteral("chosen"));
    text += QStringLiteral(", unit %1").arg(unit.name);
    if (unitJudged)
        text += QStringLiteral(" (the skeleton is %1 %2 tall)")
                    .arg(NumberFormat::general(stature, 3), unit.name);
    if (userModel)
        text += QStringLiteral(", your own model");
    else if (!modelFile.isEmpty())
        text += QStringLiteral(", model %1").arg(modelFile);
    return text;
}

ExportOptions MotionSetup::exportOptions(const BvhFile& motion) const
{
    ExportOptions options = ExportOptions::wholeMotion(motion, convention);
    options.millimetresPerUnit = unit.millimetres;
    return options;
}

Vector3f MotionSetup::upAxisOf(const BvhFile& motion) const
{
    if (!motion.root || motion.rowCount() == 0)
        return Vector3f::UnitY();
    PoseEvaluator pose(motion.root, convention);
    const QList<BvhJoint*>& joints = pose.getJoints();
    const int pelvis = profile.jointIndexFor(QStringLiteral("pelvis"), joints);
    const int headTop = profile.jointIndexFor(QStringLiteral("head top"), joints);
    if (pelvis < 0 || headTop < 0)
        return Vector3f::UnitY();
    constexpr int samples = 10;
    const int rows = motion.rowCount();
    Eigen::Vector3d rise = Eigen::Vector3d::Zero();
    for (int k = 0; k < std::min(rows, samples); ++k) {
        const QList<double>& row = motion.frames[int(qint64(k) * rows / std::min(rows, samples))];
        pose.evaluateRow(row.constData(), row.size());
        const Vector3f step = pose.getPosition(headTop) - pose.getPosition(pelvis);
        if (step.allFinite())
            rise += step.cast<double>();
    }
    Eigen::Index axis = 0;
    if (!(rise.cwiseAbs().maxCoeff(&axis) > 0))
        return Vector3f::UnitY();
    Vector3f up = Vector3f::Zero();
    up[axis] = rise[axis] > 0 ? 1.0f : -1.0f;
    return up;
}

MotionSetup MotionSetup::choose(const SkeletonProfiles& profiles, const BvhJoint* root,
                                const SetupRequest& request)
{
    MotionSetup setup;
    const QList<BvhJoint*> joints = root ? root->getAllJoints() : QList<BvhJoint*>();
    SkeletonProfiles::Match match;
    if (request.profileName.isEmpty()) {
        match = profiles.detect(joints);
        setup.detected = true;
    } else {
        const qsizetype chosen = profiles.indexOf(request.profileName);
        if (chosen < 0) {
            setup.errorString = profiles.unknownProfileMessage(request.profileName);
            return setup;
        }
        match = profiles.matchWith(chosen, joints);
    }
    if (match.profile >= 0)
        setup.profile = profiles.getProfiles()[match.profile];
    setup.convention = request.convention.value_or(setup.profile.convention);
    setup.stature = restPoseStature(root);
    if (request.unit) {
        setup.unit = *request.unit;
    } else {
        setup.unit =
            root ? LengthUnit::judge(setup.stature, setup.profile.unit) : setup.profile.unit;
        setup.unitJudged = !(setup.unit == setup.profile.unit);
    }

    setup.segments = match.model.segments;
    setup.binding = match.binding;
    if (!request.modelFile.isEmpty()) {
        const MassSegmentReadResult model = MassSegmentFile::read(request.modelFile);
        if (!model.ok) {
            setup.errorString = model.errorString;
            return setup;
        }
        setup.segments = model.segments;
        setup.binding = SegmentBinding::bind(setup.segments, joints);
        setup.modelFile = request.modelFile;
    } else if (QFile::exists(workingFolderModel)) {
        const MassSegmentReadResult model = MassSegmentFile::read(workingFolderModel);
        SegmentBinding binding = SegmentBinding::bind(model.segments, joints);
        if (model.ok && binding.isComplete()) {
            setup.segments = model.segments;
            setup.binding = std::move(binding);
            setup.modelFile = workingFolderModel;
        }
    }
    return setup;
}
