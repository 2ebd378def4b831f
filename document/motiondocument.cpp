#include "motiondocument.h"

#include "document/motionedits.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <cstring>

MotionDocument::MotionDocument(const SkeletonProfiles& profiles, QObject* parent)
    : QObject(parent), profiles(profiles)
{
    chooseSetup();
}

MotionDocument::~MotionDocument()
{
    // The commands hold the document by a guarded pointer; they go first.
    undoStack.clear();
}

bool MotionDocument::hasUnsavedEdits() const
{
    return isOpen() && hasUnsavedMotionEdits(undoStack);
}

void MotionDocument::markSaved(const QString& path)
{
    undoStack.setClean();
    if (path == fileName || !isOpen())
        return;
    fileName = path;
    emit fileNameChanged(fileName);
}

BvhJoint* MotionDocument::selectedJointPointer() const
{
    if (!motion.root || selectedJoint < 0)
        return nullptr;
    return motion.root->getAllJoints().value(selectedJoint);
}

void MotionDocument::setSelectedJoint(qsizetype joint)
{
    const qsizetype joints = motion.root ? motion.root->getAllJoints().size() : 0;
    const qsizetype selected = joint >= 0 && joint < joints ? joint : -1;
    if (selected == selectedJoint)
        return;
    selectedJoint = selected;
    emit selectedJointChanged(selectedJoint);
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
    return holdsCell(frame, column) ? motion.frames[frame][size_t(column)] : 0.0;
}

Eigen::Vector3d MotionDocument::getOffset(qsizetype joint) const
{
    const QList<BvhJoint*> joints = motion.root ? motion.root->getAllJoints() : QList<BvhJoint*>();
    return joint >= 0 && joint < joints.size() ? joints[joint]->getExactOffset()
                                               : Eigen::Vector3d::Zero();
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
    selectedJoint = -1;
    // Edits of another motion cannot be undone on this one.
    undoStack.clear();
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
    selectedJoint = -1;
    undoStack.clear();
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

void MotionDocument::setSetupRequest(const SetupRequest& newRequest, const QString& text)
{
    if (newRequest == request)
        return;
    undoStack.push(new SetupEdit(*this, newRequest, text.isEmpty() ? tr("Skeleton Setup") : text));
}

void MotionDocument::setAnalysisSettings(const AnalysisSettings& settings, const QString& text)
{
    if (settings == analysisSettings)
        return;
    undoStack.push(
        new AnalysisSettingsEdit(*this, settings, text.isEmpty() ? tr("Analysis Settings") : text));
}

bool MotionDocument::sameBits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool MotionDocument::holdsCell(int frame, qsizetype column) const
{
    return motion.root && frame >= 0 && frame < rowCount() && column >= 0 &&
           column < motion.frames.channelCount();
}

void MotionDocument::setValue(int frame, qsizetype column, double value, const QString& text)
{
    if (!holdsCell(frame, column) || sameBits(motion.frames[frame][size_t(column)], value))
        return;
    undoStack.push(new ChannelValueEdit(*this, frame, column, value,
                                        text.isEmpty() ? tr("Edit Value") : text));
}

void MotionDocument::setOffset(qsizetype joint, int axis, double value, const QString& text)
{
    const qsizetype joints = motion.root ? motion.root->getAllJoints().size() : 0;
    if (joint < 0 || joint >= joints || axis < 0 || axis > 2)
        return;
    if (sameBits(getOffset(joint)[axis], value))
        return;
    undoStack.push(
        new OffsetEdit(*this, joint, axis, value, text.isEmpty() ? tr("Edit Offset") : text));
}

void MotionDocument::replaceRows(int first, const FrameRows& rows, const QString& text)
{
    const FrameRange replaced =
        FrameRange{first, first + int(rows.rowCount()) - 1}.clampedTo(rowCount());
    if (!motion.root || replaced.isEmpty() || rows.channelCount() != motion.frames.channelCount())
        return;
    // No more than the table holds, and nothing when nothing would change.
    const FrameRows after = rows.mid(replaced.first - first, replaced.count());
    if (after == motion.frames.mid(replaced.first, replaced.count()))
        return;
    undoStack.push(
        new RowsEdit(*this, replaced.first, after, text.isEmpty() ? tr("Replace Rows") : text));
}

void MotionDocument::setModel(const MassSegmentModel& segments, const QString& modelFile,
                              const QString& text)
{
    if (setup.userModel && setup.segments == segments && setup.modelFile == modelFile)
        return;
    undoStack.push(new ModelEdit(*this, segments, modelFile,
                                 text.isEmpty() ? tr("Mass Segment Model") : text));
}

void MotionDocument::applySetupRequest(const SetupRequest& newRequest)
{
    const SetupState old = setupState();
    request = newRequest;
    chooseSetup();
    announceSetup(old);
}

void MotionDocument::restoreSetup(const SetupState& state)
{
    const SetupState old = setupState();
    request = state.request;
    setup = state.setup;
    announceSetup(old);
}

void MotionDocument::announceSetup(const SetupState& old)
{
    if (!(setup.profile.name == old.setup.profile.name &&
          setup.convention == old.setup.convention && setup.unit == old.setup.unit &&
          request == old.request))
        emit setupChanged();
    if (!(setup.segments == old.setup.segments) || setup.modelFile != old.setup.modelFile ||
        setup.userModel != old.setup.userModel)
        emit modelChanged();
}

void MotionDocument::applyAnalysisSettings(const AnalysisSettings& settings)
{
    if (settings == analysisSettings)
        return;
    analysisSettings = settings;
    emit analysisSettingsChanged();
}

void MotionDocument::applyValue(int frame, qsizetype column, double value)
{
    if (!holdsCell(frame, column) || sameBits(motion.frames[frame][size_t(column)], value))
        return;
    motion.frames.rowToChange(frame)[size_t(column)] = value;
    emit motionEdited({frame, frame});
}

void MotionDocument::applyOffsetComponent(qsizetype joint, int axis, double value)
{
    if (!motion.root || axis < 0 || axis > 2)
        return;
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    if (joint < 0 || joint >= joints.size())
        return;
    Eigen::Vector3d offset = joints[joint]->getExactOffset();
    if (sameBits(offset[axis], value))
        return;
    offset[axis] = value;
    joints[joint]->setOffset(offset.x(), offset.y(), offset.z());
    emit motionEdited(FrameRange::all(rowCount()));
}

void MotionDocument::applyRows(int first, const FrameRows& rows)
{
    const FrameRange replaced =
        FrameRange{first, first + int(rows.rowCount()) - 1}.clampedTo(rowCount());
    if (!motion.root || replaced.isEmpty())
        return;
    motion.frames.replaceRows(replaced.first, rows.mid(replaced.first - first, replaced.count()));
    emit motionEdited(replaced);
}

MotionDocument::Model MotionDocument::currentModel() const
{
    return {setup.segments, setup.userModel, setup.modelFile};
}

void MotionDocument::applyModel(const Model& model)
{
    setup.segments = model.segments;
    setup.binding = SegmentBinding::bind(model.segments, motion.root ? motion.root->getAllJoints()
                                                                     : QList<BvhJoint*>());
    setup.userModel = model.fromUser;
    setup.modelFile = model.file;
    emit modelChanged();
}
