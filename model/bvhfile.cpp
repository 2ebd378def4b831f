#include "bvhfile.h"

#include "model/bvhreader.h"
#include "model/bvhwriter.h"

#include <utility>

BvhFile::BvhFile(QObject* parent) : QObject(parent) {}

BvhFile::~BvhFile()
{
    delete root.data();
}

BvhReadResult BvhFile::readFile(const QString& fileName, BvhReadObserver* observer)
{
    const BvhReadResult result = BvhReader(*this, observer).read(fileName);
    setRotationOrder(rotationOrder);
    return result;
}

void BvhFile::setRotationOrder(RotationOrder order)
{
    rotationOrder = order;
    if (!root)
        return;
    for (BvhJoint* joint : root->getAllJoints())
        joint->setRotationOrder(order);
}

WriteResult BvhFile::writeFile(const QString& fileName, int startFrame, int endFrame)
{
    return BvhWriter(*this).write(fileName, startFrame, endFrame);
}

void BvhFile::clear()
{
    delete root.data();
    root = nullptr;
    frames = {}; // releases the storage, unlike clear()
    exportMask.clear();
    numFrames = 0;
    frameTime = 0.0;
    indentLevel = 0;
    currentFrame = 0;
}

std::unique_ptr<BvhFile> BvhFile::copy() const
{
    auto other = std::make_unique<BvhFile>();
    other->frames = frames;
    other->exportMask = exportMask;
    other->root = root ? root->cloneTree() : nullptr;
    other->numFrames = numFrames;
    other->frameTime = frameTime;
    other->indentLevel = indentLevel;
    other->currentFrame = currentFrame;
    other->rotationOrder = rotationOrder;
    return other;
}

void BvhFile::swap(BvhFile& other) noexcept
{
    frames.swap(other.frames);
    exportMask.swap(other.exportMask);
    std::swap(root, other.root);
    std::swap(numFrames, other.numFrames);
    std::swap(frameTime, other.frameTime);
    std::swap(indentLevel, other.indentLevel);
    std::swap(currentFrame, other.currentFrame);
    std::swap(rotationOrder, other.rotationOrder);
}

void BvhFile::setCurrentFrame(int frame)
{
    if (!root || frame < 0 || frame >= frames.size())
        return;
    currentFrame = frame;
    const QList<double>& row = std::as_const(frames)[frame];
    root->setFrameValues(row.constData(), row.size());
}

void BvhFile::updateData(BvhJoint* joint)
{
    if (!root || !joint || currentFrame < 0 || currentFrame >= frames.size())
        return;
    qsizetype dof = 0;
    for (const BvhJoint* candidate : root->getAllJoints()) {
        if (candidate != joint) {
            dof += candidate->getNumChannels();
            continue;
        }
        QList<double>& row = frames[currentFrame];
        // A short row (a truncated line) read as zeros for the missing channels; pad it so
        // the edit is kept instead of lost.
        if (dof + joint->getNumChannels() > row.size())
            row.resize(dof + joint->getNumChannels(), 0.0);
        for (int k = 0; k < joint->getNumChannels(); ++k)
            row[dof + k] = joint->getChannelValue(k);
        return;
    }
}
