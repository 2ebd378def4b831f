#include "motiondocument.h"

#include "model/bvhjoint.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <cstring>

MotionDocument::MotionDocument(const SkeletonProfiles& profiles, QObject* parent)
    : QObject(parent), profiles(profiles)
{
    chooseSetup();
}

QString MotionDocument::suggestedName(const QString& what, const QString& extension) const
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const QString base = dot > slash ? fileName.left(dot) : fileName;
    return base + (what.isEmpty() ? QString() : QLatin1Char('-') + what) + QLatin1Char('.') +
           extension;
}

double MotionDocument::getValue(int frame, qsizetype column) const
{
    if (frame < 0 || frame >= rowCount() || column < 0)
        return 0.0;
    return column < motion.frames.channelCount() ? motion.frames[frame][size_t(column)] : 0.0;
}

std::vector<Vector3f> MotionDocument::posedJoints(int frame) const
{
    if (!motion.root || frame < 0 || frame >= rowCount())
        return {};
    PoseEvaluator pose(motion.root, setup.convention);
    const std::span<const double> row = motion.frames[frame];
    pose.evaluateRow(row);
    return pose.getPositions();
}

qsizetype MotionDocument::indexOf(const BvhJoint* joint) const
{
    if (!motion.root || !joint)
        return -1;
    return motion.root->getAllJoints().indexOf(const_cast<BvhJoint*>(joint));
}

BvhReadResult MotionDocument::open(const QString& path)
{
    BvhFile loaded;
    const BvhReadResult result = BvhReader(loaded).read(path);
    if (result.ok())
        open(loaded, path);
    return result;
}

void MotionDocument::open(BvhFile& loaded, const QString& path)
{
    motion.swap(loaded);
    loaded.clear(); // the old joints go now, so that nothing shown can still reach them
    fileName = path;
    // Each file gets the profile its skeleton calls for, whatever was chosen for the last one.
    request = SetupRequest();
    chooseSetup();
    currentFrame = 0;
    markedRange = FrameRange::all(rowCount());
    emit motionReplaced();
}

void MotionDocument::close()
{
    if (!isOpen())
        return;
    motion.clear();
    fileName.clear();
    request = SetupRequest();
    chooseSetup();
    currentFrame = 0;
    markedRange = FrameRange();
    emit motionReplaced();
}

void MotionDocument::chooseSetup()
{
    MotionSetup chosen = MotionSetup::choose(profiles, motion, request);
    // A model the user opened or edited stays as long as it fits the motion (or none is open).
    if (setup.userModel) {
        SegmentBinding binding = SegmentBinding::bind(
            setup.segments, motion.root ? motion.root->getAllJoints() : QList<BvhJoint*>());
        if (!motion.root || binding.isComplete()) {
            chosen.segments = setup.segments;
            chosen.binding = std::move(binding);
            chosen.modelFile = setup.modelFile;
            chosen.userModel = true;
        }
    }
    setup = std::move(chosen);
}

FrameRange MotionDocument::clamped(FrameRange range) const
{
    if (rowCount() == 0)
        return FrameRange();
    if (range.first > range.last)
        std::swap(range.first, range.last);
    return {std::clamp(range.first, 0, lastFrame()), std::clamp(range.last, 0, lastFrame())};
}

void MotionDocument::setCurrentFrame(int frame)
{
    if (!isOpen())
        return;
    const int shown = std::clamp(frame, 0, std::max(lastFrame(), 0));
    if (shown == currentFrame)
        return;
    currentFrame = shown;
    emit currentFrameChanged(currentFrame);
}

void MotionDocument::setMarkedRange(const FrameRange& range)
{
    const FrameRange marked = clamped(range);
    if (marked == markedRange)
        return;
    markedRange = marked;
    emit markedRangeChanged(markedRange);
}

void MotionDocument::markFirst(int frame)
{
    FrameRange range = markedRange;
    range.first = frame;
    range.last = std::max(range.last, frame);
    setMarkedRange(range);
}

void MotionDocument::markLast(int frame)
{
    FrameRange range = markedRange;
    range.last = frame;
    range.first = std::min(range.first, frame);
    setMarkedRange(range);
}

void MotionDocument::setSetupRequest(const SetupRequest& newRequest)
{
    request = newRequest;
    const MassSegmentModel segments = setup.segments;
    chooseSetup();
    emit setupChanged();
    if (!(setup.segments == segments))
        emit modelChanged();
}

void MotionDocument::setAnalysisSettings(const AnalysisSettings& settings)
{
    analysisSettings = settings;
    emit analysisSettingsChanged();
}

void MotionDocument::setValue(int frame, qsizetype column, double value)
{
    if (!motion.root || frame < 0 || frame >= rowCount() || column < 0 ||
        column >= motion.frames.channelCount())
        return;
    if (std::memcmp(&motion.frames[frame][size_t(column)], &value, sizeof value) == 0)
        return;
    motion.frames.rowToChange(frame)[size_t(column)] = value;
    emit motionEdited({frame, frame});
}

void MotionDocument::setOffset(qsizetype joint, const Eigen::Vector3d& offset)
{
    if (!motion.root)
        return;
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    if (joint < 0 || joint >= joints.size() || joints[joint]->getExactOffset() == offset)
        return;
    joints[joint]->setOffset(offset.x(), offset.y(), offset.z());
    emit motionEdited(FrameRange::all(rowCount()));
}

void MotionDocument::replaceRows(int first, const FrameRows& rows)
{
    const FrameRange replaced =
        FrameRange{first, first + int(rows.rowCount()) - 1}.clampedTo(rowCount());
    if (!motion.root || replaced.isEmpty())
        return;
    motion.frames.replaceRows(replaced.first, rows.mid(replaced.first - first, replaced.count()));
    emit motionEdited(replaced);
}

void MotionDocument::setModel(const MassSegmentModel& segments, bool fromUser,
                              const QString& modelFile)
{
    setup.segments = segments;
    setup.binding = SegmentBinding::bind(segments, motion.root ? motion.root->getAllJoints()
                                                               : QList<BvhJoint*>());
    setup.userModel = fromUser;
    setup.modelFile = modelFile;
    emit modelChanged();
}
