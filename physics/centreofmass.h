#pragma once

#include "model/exportoptions.h"
#include "model/progresssink.h"
#include "model/vectortypes.h"
#include "model/writeresult.h"
#include "physics/segmentbinding.h"

#include <span>
#include <vector>

class BvhFile;

// The centres of mass of one pose: one per bound segment, and the whole body's.
struct CentresOfMass
{
    std::vector<Vector3f> segmentCentres;
    std::vector<qsizetype> segmentIndices; // the model's index of each segment centre
    // Sum of the segment centres weighted by their mass fractions, not divided by the total
    // mass: the centre of mass when the fractions sum to 1.
    Vector3f body = Vector3f::Zero();
};

namespace CentreOfMass {

// In single precision, axis by axis: d = 0 is the start joint, 1 the end joint, and values
// outside 0..1 extend the line through the two.
Vector3f segmentCentre(const Vector3f& start, const Vector3f& end, double proximalDistance);

// The centres of the pose whose joints are at `jointPositions` (the binding's joint order).
// Fills `result`, whose storage is reused from call to call.
void compute(const MassSegmentModel& segments, const SegmentBinding& binding,
             std::span<const Vector3f> jointPositions, CentresOfMass& result);

// The whole-body centre of mass of each frame of the options' range, posed under the options'
// convention, as a CSV table (TIME, X, Y, Z). Reads the frame rows and leaves the motion as it
// was. A model that does not bind
// completely to the skeleton (SegmentBinding::isComplete) writes nothing and fails.
WriteResult writeCsv(const BvhFile& motion, const MassSegmentModel& segments,
                     const QString& fileName, const ExportOptions& options,
                     ProgressSink* progress = nullptr);

} // namespace CentreOfMass
