#include "c3dexport.h"

#include "export/c3dfile.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"

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

WriteResult exportMotion(BvhFile& motion, const QString& fileName, ProgressSink* progress)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    PoseEvaluator pose(motion.root);
    const QList<BvhJoint*>& joints = pose.getJoints();
    const int frameCount = motion.rowCount();

    C3DFile file;
    file.reservePoints(qsizetype(frameCount) * joints.size());
    if (progress)
        progress->begin(QString(), QString(), frameCount);
    for (int frame = 0; frame < frameCount; ++frame) {
        if (progress)
            progress->setValue(frame);
        motion.setCurrentFrame(frame);
        pose.evaluate();
        for (const Vector3f& p : pose.getPositions())
            file.addPoint(-10.0f * p.x(), 10.0f * p.z(), 10.0f * p.y());
        if (progress && progress->isCanceled())
            break;
    }
    if (progress)
        progress->end();

    QStringList labels;
    labels.reserve(joints.size());
    for (const BvhJoint* joint : joints)
        labels.append(joint->getName());
    file.setupPointGroup(int(joints.size()), frameRate(motion.frameTime), QStringLiteral("mm "),
                         labels);
    return file.writeC3D(fileName);
}

} // namespace C3DExport
