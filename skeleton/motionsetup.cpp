#include "motionsetup.h"

#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/motionsamples.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "physics/masssegmentfile.h"
#include "skeleton/skeletonprofiles.h"
#include "skeleton/skeletonshape.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>

static const QString workingFolderModel = QStringLiteral("defaultMassSegments.xml");

QString MotionSetup::originText() const
{
    switch (origin) {
    case Origin::Chosen:
        return QStringLiteral("chosen");
    case Origin::Detected:
        return QStringLiteral("detected");
    case Origin::Shape:
        return QStringLiteral("recognised by shape");
    case Origin::NoneFits:
        break;
    }
    return QStringLiteral("no profile fits");
}

QString MotionSetup::summary() const
{
    QString text = origin == Origin::NoneFits
                       ? QStringLiteral("no profile fits (%1; by its shape %2)")
                             .arg(profile.landmarks.isEmpty()
                                      ? QStringLiteral("no profile knows its joint names")
                                      : QStringLiteral("the nearest is %1").arg(profile.title),
                                  fitProblem)
                       : QStringLiteral("%1 profile (%2)").arg(profile.title, originText());
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

QStringList MotionSetup::describe(const BvhJoint* root) const
{
    QStringList lines;
    lines << QStringLiteral("Skeleton profile: %1 (%2), named %3")
                 .arg(profile.title, originText(), profile.name);
    if (origin == Origin::NoneFits)
        lines << QStringLiteral("Not recognised by shape: %1").arg(fitProblem);
    if (!shapeFrames.isEmpty()) {
        QStringList frames;
        for (const int frame : shapeFrames)
            frames << QString::number(frame);
        lines
            << QStringLiteral("Shape read from frames: %1").arg(frames.join(QStringLiteral(", ")));
    }
    if (!setAside.isEmpty())
        lines << QStringLiteral("Set aside above the body: %1")
                     .arg(setAside.join(QStringLiteral(", ")));
    lines << QStringLiteral("Rotations: %1")
                 .arg(convention.rotationOrder == RotationOrder::Fixed
                          ? QStringLiteral("fixed X·Y·Z product")
                          : QStringLiteral("in the order the CHANNELS lines declare"))
          << QStringLiteral("Position channels: %1")
                 .arg(convention.positionChannels == PositionChannels::AddToOffset
                          ? QStringLiteral("added to OFFSET")
                          : QStringLiteral("replace OFFSET"))
          << QStringLiteral("Pi for degrees to radians: %1")
                 .arg(NumberFormat::general(convention.pi, 9))
          << QStringLiteral("Length unit: %1 (%2 mm)")
                 .arg(unit.name, NumberFormat::general(unit.millimetres))
          << QStringLiteral("Stature: %1 %2, unit judged by it: %3")
                 .arg(NumberFormat::general(stature, 4), unit.name,
                      unitJudged ? QStringLiteral("yes") : QStringLiteral("no"))
          << QStringLiteral("Mass-segment model: %1")
                 .arg(userModel             ? QStringLiteral("opened or edited by you")
                      : modelFile.isEmpty() ? QStringLiteral("the profile's")
                                            : QDir::toNativeSeparators(modelFile));
    // Where the profile finds the body's landmarks in this skeleton.
    const QList<BvhJoint*> joints = root ? root->getAllJoints() : QList<BvhJoint*>();
    QStringList landmarks;
    for (const SkeletonProfile::Landmark& landmark : profile.landmarks) {
        const QString joint = profile.jointNameFor(landmark.name, joints);
        landmarks << QStringLiteral("%1 %2").arg(
            landmark.name, joint.isEmpty() ? QStringLiteral("(none)") : joint);
    }
    if (!landmarks.isEmpty())
        lines << QStringLiteral("Landmarks: %1").arg(landmarks.join(QStringLiteral(", ")));
    const QStringList problems = binding.problems(segments);
    lines << (problems.isEmpty() ? QStringLiteral("The model fits the skeleton.")
                                 : QStringLiteral("The model does not fit the skeleton: %1")
                                       .arg(problems.join(QLatin1Char(' '))));
    return lines;
}

SkeletonProfile MotionSetup::profileToSave(const QString& name, const BvhJoint* root) const
{
    SkeletonProfile saved = profile;
    saved.name = name;
    saved.convention = convention;
    saved.unit = unit;
    if (origin == Origin::Shape && root) {
        saved.title = QStringLiteral("%1 (recognised by shape)").arg(profile.title);
        saved.skeletonJoints.clear();
        for (const BvhJoint* joint : root->getAllJoints()) {
            if (joint->getName() != QLatin1String("End Site"))
                saved.skeletonJoints.append(joint->getName());
        }
    }
    return saved;
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
        const std::span<const double> row =
            motion.frames[int(qint64(k) * rows / std::min(rows, samples))];
        pose.evaluateRow(row);
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

// Whether at least half of the skeleton's joints (End Sites aside) bear names the profile knows.
static bool knowsMostNames(const SkeletonProfile& profile, const QList<BvhJoint*>& joints)
{
    const qsizetype named = std::count_if(joints.begin(), joints.end(), [](const BvhJoint* j) {
        return j->getName() != QLatin1String("End Site");
    });
    return named > 0 && 2 * qsizetype(profile.recognisedJoints(joints)) >= named;
}

static bool findsAnyLandmark(const SkeletonProfile& profile, const QList<BvhJoint*>& joints)
{
    return std::any_of(profile.landmarks.begin(), profile.landmarks.end(),
                       [&](const SkeletonProfile::Landmark& landmark) {
                           return !profile.jointNameFor(landmark.name, joints).isEmpty();
                       });
}

// The length along the bones between two joints of one tree (indices into `joints`, whose
// bones are `lengths` long); -1 when they are not in one tree.
static double boneDistance(const QList<BvhJoint*>& joints, const std::vector<double>& lengths,
                           int a, int b)
{
    const auto lengthOf = [&](const BvhJoint* joint) {
        return lengths[size_t(joints.indexOf(joint))];
    };
    QList<const BvhJoint*> aboveA;
    for (const BvhJoint* j = joints[a]; j; j = j->getParentJoint())
        aboveA.append(j);
    double length = 0.0;
    const BvhJoint* meeting = joints[b];
    for (; meeting && !aboveA.contains(meeting); meeting = meeting->getParentJoint())
        length += lengthOf(meeting);
    if (!meeting)
        return -1.0;
    for (const BvhJoint* j = joints[a]; j != meeting; j = j->getParentJoint())
        length += lengthOf(j);
    return length;
}

// A standing person's height along the bones, whatever the rest pose: the legs from hip to
// ankle, the trunk from pelvis to head top, and the ankle's height above the sole (3.9 % of the
// stature). 0 when the profile does not find those landmarks.
static double boneStature(const SkeletonProfile& profile, const QList<BvhJoint*>& joints,
                          const std::vector<double>& lengths)
{
    const auto joint = [&](const char* landmark) {
        return profile.jointIndexFor(QString::fromLatin1(landmark), joints);
    };
    const int pelvis = joint("pelvis"), headTop = joint("head top");
    const int hips[2] = {joint("left hip"), joint("right hip")};
    const int ankles[2] = {joint("left ankle"), joint("right ankle")};
    if (pelvis < 0 || headTop < 0 || hips[0] < 0 || hips[1] < 0 || ankles[0] < 0 || ankles[1] < 0 ||
        size_t(joints.size()) != lengths.size())
        return 0.0;
    const double trunk = boneDistance(joints, lengths, pelvis, headTop);
    const double legs[2] = {boneDistance(joints, lengths, hips[0], ankles[0]),
                            boneDistance(joints, lengths, hips[1], ankles[1])};
    if (trunk < 0 || legs[0] < 0 || legs[1] < 0)
        return 0.0;
    constexpr double ankleHeight = 0.039;
    const double stature = (trunk + (legs[0] + legs[1]) / 2) / (1.0 - ankleHeight);
    return std::isfinite(stature) ? stature : 0.0;
}

MotionSetup MotionSetup::choose(const SkeletonProfiles& profiles, const BvhFile& motion,
                                const SetupRequest& request)
{
    MotionSetup setup;
    const BvhJoint* root = motion.root;
    const QList<BvhJoint*> joints = root ? root->getAllJoints() : QList<BvhJoint*>();
    SkeletonProfiles::Match match;
    if (request.profileName.isEmpty()) {
        match = profiles.detect(joints);
        if (root && !match.binding.isComplete()) {
            // No family's names bind: the landmarks from the skeleton's shape, or no profile.
            const SkeletonShape::Recognition shape = SkeletonShape::recognise(motion);
            setup.shapeFrames = shape.frames;
            setup.setAside = shape.setAside;
            if (shape.ok()) {
                setup.profile = profiles.shapeProfile(shape);
                match = SkeletonProfiles::fit(setup.profile, joints);
                setup.origin = Origin::Shape;
            } else {
                // The nearest family, when its names find any landmark, still names what it
                // can (a skeleton of hips and feet has its ankles) and its model says what
                // the skeleton lacks; it is not said to be detected.
                setup.origin = Origin::NoneFits;
                setup.fitProblem = shape.problem;
                if (match.profile < 0 ||
                    !findsAnyLandmark(profiles.getProfiles()[match.profile], joints)) {
                    setup.profile = SkeletonProfiles::noProfile();
                    match.profile = -1;
                }
            }
        }
    } else {
        const qsizetype chosen = profiles.indexOf(request.profileName);
        if (chosen < 0) {
            setup.errorString = profiles.unknownProfileMessage(request.profileName);
            return setup;
        }
        match = profiles.matchWith(chosen, joints);
        setup.origin = Origin::Chosen;
    }
    if (setup.origin != Origin::Shape && match.profile >= 0)
        setup.profile = profiles.getProfiles()[match.profile];
    if (setup.origin == Origin::NoneFits && !knowsMostNames(setup.profile, joints)) {
        // A family that knows a name or two of the skeleton ("Hips", "Head") is no reason to
        // pose it as that family does: most producers' convention poses it soundly.
        setup.profile.convention = PoseConvention::standard();
    }
    setup.convention = request.convention.value_or(setup.profile.convention);
    // The stature along the bones where the profile finds the legs and trunk, else the rest
    // pose's size.
    if (root) {
        const std::vector<double> lengths =
            MotionSamples::boneLengths(motion, setup.convention, MotionSamples::rows(motion));
        setup.stature = boneStature(setup.profile, joints, lengths);
    }
    if (!(setup.stature > 0) && root)
        setup.stature = restPoseStature(root->getMovingRoot());
    if (setup.origin == Origin::Shape) {
        // No producer's unit is known: centimetres, as most write, unless another unit (or a
        // profile's own) makes a grown person of the skeleton where they do not.
        QList<LengthUnit> units = LengthUnit::commonUnits();
        for (const SkeletonProfile& known : profiles.getProfiles()) {
            if (!units.contains(known.unit))
                units.append(known.unit);
        }
        setup.profile.unit = LengthUnit::judge(setup.stature, LengthUnit::centimetres(), units);
    }
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
