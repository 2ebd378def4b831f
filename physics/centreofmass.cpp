#include "centreofmass.h"

#include "model/bvhfile.h"
#include "model/frametable.h"
#include "model/poseevaluator.h"

namespace CentreOfMass {

Vector3f segmentCentre(const Vector3f& start, const Vector3f& end, double proximalDistance)
{
    const float d = float(proximalDistance);
    return Vector3f(start.x() + (end.x() - start.x()) * d, start.y() + (end.y() - start.y()) * d,
                    start.z() + (end.z() - start.z()) * d);
}

void compute(const MassSegmentModel& segments, const SegmentBinding& binding,
             std::span<const Vector3f> jointPositions, CentresOfMass& result)
{
    result.segmentCentres.clear();
    result.segmentIndices.clear();
    // The body centre sums in double precision and is rounded to float once.
    double x = 0.0, y = 0.0, z = 0.0;
    for (const BoundSegment& bound : binding.bound) {
        if (size_t(bound.startJoint) >= jointPositions.size() ||
            size_t(bound.endJoint) >= jointPositions.size() || bound.segment >= segments.size())
            continue;
        const MassSegment& segment = segments[bound.segment];
        const Vector3f centre =
            segmentCentre(jointPositions[size_t(bound.startJoint)],
                          jointPositions[size_t(bound.endJoint)], segment.proximalDistance);
        result.segmentCentres.push_back(centre);
        result.segmentIndices.push_back(bound.segment);
        x += double(centre.x()) * segment.mass;
        y += double(centre.y()) * segment.mass;
        z += double(centre.z()) * segment.mass;
    }
    result.body = Vector3f(float(x), float(y), float(z));
}

WriteResult writeCsv(const BvhFile& motion, const MassSegmentModel& segments,
                     const QString& fileName, const ExportOptions& options, ProgressSink* progress)
{
    if (!motion.root)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    PoseEvaluator evaluator(motion.root, options.convention);
    const SegmentBinding binding = SegmentBinding::bind(segments, evaluator.getJoints());
    // A partial model's weighted sum is no centre of mass: better no table than a wrong one.
    if (!binding.isComplete())
        return WriteResult::failure(fileName, QStringLiteral("the mass-segment model does not fit "
                                                             "this skeleton. %1")
                                                  .arg(binding.problems(segments).join(' ')));
    FrameTable::Format format;
    format.header = QStringLiteral("TIME,X,Y,Z");
    format.frames = options.range.clampedTo(motion.rowCount());
    format.frameTime = motion.frameTime;
    CentresOfMass centres;
    return FrameTable::write(fileName, format, progress, [&](CsvWriter& writer, int frame) {
        const std::span<const double> row = motion.frames[frame];
        evaluator.evaluateRow(row);
        compute(segments, binding, evaluator.getPositions(), centres);
        writer.addNumberCell(centres.body.x());
        writer.addNumberCell(centres.body.y());
        writer.addNumberCell(centres.body.z());
    });
}

} // namespace CentreOfMass
