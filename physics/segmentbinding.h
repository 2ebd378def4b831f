#pragma once

#include "physics/masssegment.h"

#include <QList>
#include <QStringList>

#include <vector>

class BvhJoint;

// A segment of the model tied to two joints of a skeleton: indices into its joint list
// (getAllJoints() order, which is PoseEvaluator's).
struct BoundSegment
{
    qsizetype segment;
    qsizetype startJoint;
    qsizetype endJoint;
};

// Which segments of a model a skeleton can carry. A joint name binds to the first joint in
// pre-order with exactly that name ("End Site" is the first End Site); a segment with a name
// the skeleton lacks is left unbound.
struct SegmentBinding
{
    std::vector<BoundSegment> bound;
    QList<qsizetype> unboundSegments;
    QStringList missingJoints; // each name once, in the order the model names them

    static SegmentBinding bind(const MassSegmentModel& segments, const QList<BvhJoint*>& joints);
};
