#pragma once

#include "physics/masssegment.h"

#include <QList>
#include <QString>
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
// pre-order with exactly that name. "End Site" is the first End Site in pre-order, and
// "Joint/End Site" the first End Site directly below the joint named Joint (in a skeleton
// whose left toe comes before the head, "Head/End Site" is the top of the head where
// "End Site" would be the toe). A segment with a name the skeleton lacks is left unbound.
struct SegmentBinding
{
    // How far the mass fractions of a whole-body model may sum away from 1.
    static constexpr double massTolerance = 0.01;

    std::vector<BoundSegment> bound;
    QList<qsizetype> unboundSegments;
    QStringList missingJoints; // each name once, in the order the model names them
    double totalMass = 0.0;    // of every segment of the model, bound or not

    static SegmentBinding bind(const MassSegmentModel& segments, const QList<BvhJoint*>& joints);

    // True when every segment binds and the fractions sum to 1 within massTolerance: only then
    // is the weighted sum of the segment centres the body's centre of mass.
    bool isComplete() const;
    // Why the model gives no body centre for this skeleton, one sentence per problem naming
    // the segments and joints; empty when isComplete().
    QStringList problems(const MassSegmentModel& segments) const;
};
