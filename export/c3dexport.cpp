#include "c3dexport.h"

#include "export/c3dfile.h"
#include "export/c3dpipeline.h"
#include "export/c3dsamples.h"
#include "model/bvhjoint.h"
#include "model/frameblocks.h"
#include "model/poseevaluator.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

    C3DFile file;
    // The pipeline converted rows from the motion's first one: of use to a range starting
    // there, up to its end.
    int ready = 0;
    if (pipeline) {
        ready = pipeline->takeConverted(motion, options, file);
        if (frames.first != 0)
            ready = 0;
        ready = std::min(ready, frameCount);
    }
    file.points.resize(size_t(frameCount) * size_t(jointCount));
    if (progress)
        progress->begin(QString(), QString(), frameCount);
    // Progress and cancel are handled frame by frame after each block, so a cancel keeps
    // exactly the frames up to the one it was seen at, as a frame-by-frame loop would.
    int converted = 0;
    int reported = frames.first;
    const auto blockDone = [&](int stop) {
        for (; reported < stop; ++reported) {
            if (progress)
                progress->setValue(reported - frames.first);
            converted = reported - frames.first + 1;
            if (progress && progress->isCanceled())
                return false;
        }
        return true;
    };
    if (!blockDone(frames.first + ready))
        ready = converted;
    else if (frames.first + ready <= frames.last)
        FrameBlocks::poseFrames(
            motion, {frames.first + ready, frames.last}, pose,
            [&](int frame, int, const PoseEvaluator& posed) {
                C3DSamples::convertPose(posed, options.millimetresPerUnit,
                                        file.points.data() +
                                            qsizetype(frame - frames.first) * jointCount);
            },
            blockDone);
    file.points.resize(size_t(converted) * size_t(jointCount));
    if (progress)
        progress->end();
    // A pose far out of the float range would be written as an infinity.
    const auto nonFinite =
        std::find_if(file.points.begin(), file.points.end(), [](const C3DPoint& p) {
            return !(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
        });
    if (nonFinite != file.points.end())
        return WriteResult::failure(
            fileName, QStringLiteral("frame %1 gives a point that is not a finite number; the "
                                     "file was not written")
                          .arg(frames.first + int((nonFinite - file.points.begin()) / jointCount)));

    QStringList names = labels;
    if (names.size() != jointCount) {
        names.clear();
        for (const BvhJoint* joint : joints)
            names.append(joint->getName());
    }
    qsizetype pointCount = jointCount;
    if (!extra.labels.isEmpty()) {
        // Each frame's joints, then its extra points.
        const qsizetype extraCount = extra.labels.size();
        pointCount += extraCount;
        std::vector<C3DPoint> all(size_t(converted) * size_t(pointCount));
        for (qsizetype f = 0; f < converted; ++f) {
            std::copy_n(file.points.begin() + f * jointCount, jointCount,
                        all.begin() + f * pointCount);
            for (qsizetype k = 0; k < extraCount; ++k) {
                C3DPoint& point = all[size_t(f * pointCount + jointCount + k)];
                const std::vector<Eigen::Vector3d>& samples = extra.samples[size_t(k)];
                const Eigen::Vector3d value = size_t(f) < samples.size()
                                                  ? samples[size_t(f)]
                                                  : Eigen::Vector3d::Constant(std::nan(""));
                if (value.allFinite())
                    point = {float(value.x()), float(value.y()), float(value.z()), 0};
                else
                    point.residual = invalidResidual;
            }
        }
        file.points = std::move(all);
        names += extra.labels;
    }
    file.setupPointGroup(int(pointCount), frameRate(motion.frameTime), QStringLiteral("mm "),
                         names);
    if (!extra.angles.isEmpty()) {
        file.addPointText(QStringLiteral("ANGLES"), extra.angles);
        file.addPointText(QStringLiteral("ANGLE_UNITS"), {QStringLiteral("deg")});
    }
    file.addEvents(events);
    return file.writeC3D(fileName);
}

} // namespace C3DExport
