#include "centreofmass.h"

#include "model/bvhfile.h"
#include "model/csvwriter.h"
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
    PoseEvaluator evaluator(motion.root);
    const SegmentBinding binding = SegmentBinding::bind(segments, evaluator.getJoints());
    // A partial model's weighted sum is no centre of mass: better no table than a wrong one.
    if (!binding.isComplete())
        return WriteResult::failure(fileName, QStringLiteral("the mass-segment model does not fit "
                                                             "this skeleton. %1")
                                                  .arg(binding.problems(segments).join(' ')));
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    writer.addText("TIME,X,Y,Z");
    writer.endLine();

    CentresOfMass centres;
    const FrameRange range = options.range.clampedTo(motion.rowCount());
    PercentProgress percent(progress, range.first, range.last + 1);
    if (progress)
        progress->begin({}, {}, 100);
    for (int frame = range.first; frame <= range.last; ++frame) {
        if (percent.advance(frame))
            break;
        const QList<double>& row = std::as_const(motion.frames)[frame];
        evaluator.evaluateRow(row.constData(), row.size());
        compute(segments, binding, evaluator.getPositions(), centres);
        writer.addNumber(double(frame) * motion.frameTime);
        writer.addNumberCell(centres.body.x());
        writer.addNumberCell(centres.body.y());
        writer.addNumberCell(centres.body.z());
        writer.endLine();
    }
    if (progress)
        progress->end();
    return writer.finish();
}

} // namespace CentreOfMass
