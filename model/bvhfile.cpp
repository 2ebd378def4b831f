#include "bvhfile.h"

#include "model/exportoptions.h"

#include <utility>

ExportOptions ExportOptions::wholeMotion(const BvhFile& motion)
{
    const qsizetype joints = motion.root ? motion.root->getAllJoints().size() : 0;
    return {FrameRange::all(motion.rowCount()), QList<bool>(joints, true)};
}

BvhFile::BvhFile(QObject* parent) : QObject(parent) {}

BvhFile::~BvhFile()
{
    delete root.data();
}

void BvhFile::setConvention(const PoseConvention& newConvention)
{
    convention = newConvention;
    if (!root)
        return;
    for (BvhJoint* joint : root->getAllJoints())
        joint->setConvention(convention);
}

void BvhFile::clear()
{
    delete root.data();
    root = nullptr;
    frames = {}; // releases the storage, unlike clear()
    numFrames = 0;
    frameTime = 0.0;
}

std::unique_ptr<BvhFile> BvhFile::copy() const
{
    auto other = std::make_unique<BvhFile>();
    other->frames = frames;
    other->root = root ? root->cloneTree() : nullptr;
    other->numFrames = numFrames;
    other->frameTime = frameTime;
    other->convention = convention;
    return other;
}

void BvhFile::swap(BvhFile& other) noexcept
{
    frames.swap(other.frames);
    std::swap(root, other.root);
    std::swap(numFrames, other.numFrames);
    std::swap(frameTime, other.frameTime);
    std::swap(convention, other.convention);
}

void BvhFile::loadFrame(int frame)
{
    if (!root || frame < 0 || frame >= frames.size())
        return;
    const QList<double>& row = std::as_const(frames)[frame];
    root->setFrameValues(row.constData(), row.size());
}

qsizetype BvhFile::firstChannelOf(const BvhJoint* joint) const
{
    if (!root || !joint)
        return -1;
    qsizetype dof = 0;
    for (const BvhJoint* candidate : root->getAllJoints()) {
        if (candidate == joint)
            return dof;
        dof += candidate->getNumChannels();
    }
    return -1;
}

void BvhFile::storeJointValues(const BvhJoint* joint, int frame)
{
    const qsizetype dof = firstChannelOf(joint);
    if (dof < 0 || frame < 0 || frame >= frames.size())
        return;
    QList<double>& row = frames[frame];
    // A short row (a truncated line) read as zeros for the missing channels; pad it so the
    // edit is kept instead of lost.
    if (dof + joint->getNumChannels() > row.size())
        row.resize(dof + joint->getNumChannels(), 0.0);
    for (int k = 0; k < joint->getNumChannels(); ++k)
        row[dof + k] = joint->getChannelValue(k);
}
