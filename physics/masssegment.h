#pragma once

#include <QList>
#include <QString>

// One body segment of a mass-segment model: it runs from the joint named startJoint to the
// joint named endJoint, carries `mass` of the body mass (a fraction: the fractions of a whole
// body sum to 1) and has its centre of mass at proximalDistance of the way from start to end.
struct MassSegment
{
    QString startJoint;
    QString endJoint;
    double proximalDistance = 0.0;
    double mass = 0.0;

    bool operator==(const MassSegment&) const = default;
};

using MassSegmentModel = QList<MassSegment>;
