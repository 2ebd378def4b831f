#include "c3dexport.h"

#include "export/c3dfile.h"
#include "export/c3dpipeline.h"
#include "export/c3dsamples.h"
#include "export/c3dstream.h"
#include "model/bvhjoint.h"
#include "model/frameblocks.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace C3DExport {

// The residual word of a sample that is not valid: -1.0 as a float, as readers expect in a
// floating-point file.
static constexpr quint32 invalidResidual = 0xBF800000u;

int frameRate(double frameTime)
{
    const double rate = 1.0 / frameTime + 0.5;
    if (!(frameTime > 0.0) || !std::isfinite(frameTime) || !std::isfinite(rate) ||
        rate >= double(std::numeric_limits<int>::max()))
        return fallbackFrameRate;
    return int(rate);
}

WriteResult exportMotion(const BvhFile& motion, const QString& fileName,
                         const ExportOptions& options, const QList<C3DEvent>& events,
                         ProgressSink* progress, C3DPipeline* pipeline, const QStringList& labels,
                         const ExtraPoints& extra)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    const PoseEvaluator pose(motion.root, options.convention);
    const QList<BvhJoint*>& joints = pose.getJoints();
    const qsizetype jointCount = joints.size();
    const FrameRange frames = options.range.clampedTo(motion.rowCount());
    const int frameCount = frames.count();

    QStringList names = labels;
    if (names.size() != jointCount) {
        names.clear();
        for (const BvhJoint* joint : joints)
            names.append(joint->getName());
    }
    const qsizetype extraCount = extra.labels.size();
    const qsizetype pointCount = jointCount + extraCount;
    const int rate = frameRate(motion.frameTime);
    const auto describe = [&](C3DFile& head, qsizetype frameTotal) {
        head.setupPointGroup(int(pointCount), frameTotal, rate, QStringLiteral("mm "),
                             names + extra.labels);
        if (!extra.angles.isEmpty()) {
            head.addPointText(QStringLiteral("ANGLES"), extra.angles);
            head.addPointText(QStringLiteral("ANGLE_UNITS"), {QStringLiteral("deg")});
        }
        head.addEvents(events);
    };

    // The pipeline wrote the plain file of every frame while the motion was read: the frames it
    // finished are taken as they are, and the file goes on from there.
    std::unique_ptr<C3DStream> stream;
    int ready = 0;
    if (pipeline) {
        C3DPipeline::Written written = pipeline->takeWritten(motion, options, fileName);
        if (written.stream && labels.isEmpty() && extraCount == 0 && events.isEmpty()) {
            stream = std::move(written.stream);
            ready = std::min(written.frames, frameCount);
        }
    }
    if (!stream) {
        stream = std::make_unique<C3DStream>(fileName, int(pointCount), describe);
        const WriteResult opened = stream->open(frameCount);
        if (!opened.ok)
            return opened;
    }
    if (progress)
        progress->begin(QString(), QString(), frameCount);
    // Progress and cancel are handled frame by frame after each block, so a cancel keeps
    // exactly the frames up to the one it was seen at, as a frame-by-frame loop would.
    const FrameRange rest{frames.first + ready, frames.last};
    std::vector<C3DPoint> block(size_t(FrameBlocks::blockSize(rest.count())) * size_t(pointCount));
    int converted = 0;
    int reported = frames.first;
    int blockFirst = rest.first;
    QString failure;
    const auto blockDone = [&](int stop) {
        bool goOn = true;
        for (; reported < stop && goOn; ++reported) {
            if (progress)
                progress->setValue(reported - frames.first);
            converted = reported - frames.first + 1;
            goOn = !(progress && progress->isCanceled());
        }
        // The block's frames up to the last one kept go out now.
        const int blockStop = std::max(blockFirst, frames.first + converted);
        const C3DPoint* samples = block.data();
        const C3DPoint* samplesEnd = samples + qsizetype(blockStop - blockFirst) * pointCount;
        const C3DPoint* nonFinite = std::find_if(samples, samplesEnd, [](const C3DPoint& p) {
            return p.residual == 0 &&
                   !(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
        });
        if (nonFinite != samplesEnd) {
            // A pose far out of the float range would be written as an infinity.
            failure = QStringLiteral("frame %1 gives a point that is not a finite number; the "
                                     "file was not written")
                          .arg(blockFirst + int((nonFinite - samples) / pointCount));
            return false;
        }
        if (blockStop > blockFirst && !stream->write(samples, blockStop - blockFirst))
            return false;
        blockFirst = stop;
        return goOn;
    };
    if (!blockDone(rest.first)) {
        ready = converted;
    } else if (!rest.isEmpty()) {
        FrameBlocks::poseFrames(
            motion, rest, pose,
            [&](int frame, int, const PoseEvaluator& posed) {
                C3DPoint* samples = block.data() + qsizetype(frame - blockFirst) * pointCount;
                C3DSamples::convertPose(posed, options.millimetresPerUnit, samples);
                const size_t index = size_t(frame - frames.first);
                for (qsizetype k = 0; k < extraCount; ++k) {
                    const std::vector<Eigen::Vector3d>& track = extra.samples[size_t(k)];
                    const Eigen::Vector3d value = index < track.size()
                                                      ? track[index]
                                                      : Eigen::Vector3d::Constant(std::nan(""));
                    C3DPoint& point = samples[jointCount + k];
                    if (value.allFinite())
                        point = {float(value.x()), float(value.y()), float(value.z()), 0};
                    else
                        point = {0.0f, 0.0f, 0.0f, invalidResidual};
                }
            },
            blockDone);
    }
    if (progress)
        progress->end();
    if (!failure.isEmpty())
        return WriteResult::failure(fileName, failure);
    if (!stream->fits(converted)) {
        // A cancel kept so few frames that the head shrank: written again, now that the count
        // is known.
        stream.reset();
        ExportOptions kept = options;
        kept.range = {frames.first, frames.first + converted - 1};
        return exportMotion(motion, fileName, kept, events, nullptr, nullptr, labels, extra);
    }
    return stream->finish(converted);
}

} // namespace C3DExport
