#include "bvhfile.h"

#include "model/exportoptions.h"

#include <utility>

ExportOptions ExportOptions::wholeMotion(const BvhFile& motion, const PoseConvention& convention)
{
    const qsizetype joints = motion.root ? motion.root->getAllJoints().size() : 0;
    return {FrameRange::all(motion.rowCount()), QList<bool>(joints, true), convention};
}

BvhFile::BvhFile(QObject* parent) : QObject(parent) {}

BvhFile::~BvhFile()
{
    delete root.data();
}

void BvhFile::clear()
{
    delete root.data();
    root = nullptr;
    frames.clear();
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
    return other;
}

void BvhFile::swap(BvhFile& other) noexcept
{
    std::swap(frames, other.frames);
    std::swap(root, other.root);
    std::swap(numFrames, other.numFrames);
    std::swap(frameTime, other.frameTime);
}

void BvhFile::loadFrame(int frame)
{
    if (!root || frame < 0 || frame >= rowCount())
        return;
    root->setFrameValues(frames[frame]);
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
