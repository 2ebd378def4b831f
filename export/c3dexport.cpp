#include "c3dexport.h"

#include "export/c3dfile.h"
#include "export/c3dpipeline.h"
#include "export/c3dsamples.h"
#include "model/bvhjoint.h"
#include "model/frameblocks.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace C3DExport {

int frameRate(double frameTime)
{
    const double rate = 1.0 / frameTime + 0.5;
    if (!(frameTime > 0.0) || !std::isfinite(frameTime) || !std::isfinite(rate) ||
        rate >= double(std::numeric_limits<int>::max()))
        return fallbackFrameRate;
    return int(rate);
}

WriteResult exportMotion(const BvhFile& motion, const QString& fileName, ProgressSink* progress,
                         C3DPipeline* pipeline, double millimetresPerUnit,
                         const QList<C3DEvent>& events)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    const PoseEvaluator pose(motion.root);
    const QList<BvhJoint*>& joints = pose.getJoints();
    const qsizetype jointCount = joints.size();
    const int frameCount = motion.rowCount();
    const QVector<QList<double>>& frames = motion.frames;
    std::array<PoseEvaluator, FrameBlocks::laneCount> lanes{pose, pose};

    C3DFile file;
    // The frames before `ready` were converted while the file was read.
    const int ready = pipeline ? pipeline->takeConverted(motion, millimetresPerUnit, file) : 0;
    file.reservePoints(qsizetype(frameCount) * jointCount);
    if (progress)
        progress->begin(QString(), QString(), frameCount);
    // The poses come straight from the frame rows, a block of frames at a time on two threads;
    // progress and cancel are handled frame by frame after each block, so a cancel keeps
    // exactly the frames up to the one it was seen at, as a frame-by-frame loop would.
    const int blockSize = FrameBlocks::blockSize(frameCount);
    int converted = 0;
    bool canceled = false;
    for (int block = 0; block < frameCount && !canceled; block += blockSize) {
        const int blockStop = std::min(frameCount, block + blockSize);
        const int missing = std::max(block, ready);
        if (missing < blockStop) {
            C3DPoint* const samples = file.addPoints(qsizetype(blockStop - missing) * jointCount);
            FrameBlocks::computeBlock(missing, blockStop, [&](int first, int stop, int lane) {
                PoseEvaluator& evaluator = lanes[size_t(lane)];
                C3DPoint* sample = samples + qsizetype(first - missing) * jointCount;
                for (int frame = first; frame < stop; ++frame, sample += jointCount)
                    C3DSamples::convertRow(evaluator, frames[frame], millimetresPerUnit, sample);
            });
        }
        for (int frame = block; frame < blockStop; ++frame) {
            if (progress)
                progress->setValue(frame);
            converted = frame + 1;
            if (progress && progress->isCanceled()) {
                canceled = true;
                break;
            }
        }
    }
    file.points.resize(size_t(converted) * size_t(jointCount));
    if (progress)
        progress->end();

    QStringList labels;
    labels.reserve(joints.size());
    for (const BvhJoint* joint : joints)
        labels.append(joint->getName());
    file.setupPointGroup(int(joints.size()), frameRate(motion.frameTime), QStringLiteral("mm "),
                         labels);
    file.addEvents(events);
    return file.writeC3D(fileName);
}

} // namespace C3DExport
