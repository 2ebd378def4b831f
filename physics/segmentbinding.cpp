#include "segmentbinding.h"

#include "model/bvhjoint.h"
#include "model/numberformat.h"

#include <QHash>

#include <cmath>

static const QString endSiteName = QStringLiteral("End Site");
static const QString endSiteSuffix = QStringLiteral("/End Site");

SegmentBinding SegmentBinding::bind(const MassSegmentModel& segments,
                                    const QList<BvhJoint*>& joints)
{
    QHash<QString, qsizetype> firstIndex;
    QHash<const BvhJoint*, qsizetype> indexOf;
    for (qsizetype i = joints.size() - 1; i >= 0; --i) {
        firstIndex.insert(joints[i]->getName(), i);
        indexOf.insert(joints[i], i);
    }
    const auto lookUp = [&](const QString& name) -> qsizetype {
        if (!name.endsWith(endSiteSuffix) || name == endSiteName)
            return firstIndex.value(name, -1);
        const qsizetype parent = firstIndex.value(name.chopped(endSiteSuffix.size()), -1);
        if (parent < 0)
            return -1;
        const BvhJoint* joint = joints[parent];
        for (int c = 0; c < joint->getNumChildren(); ++c) {
            const BvhJoint* child = joint->getChild(c);
            if (child && child->getName() == endSiteName && child->getNumChildren() == 0)
                return indexOf.value(child, -1);
        }
        return -1;
    };
    SegmentBinding binding;
    const auto find = [&](const QString& name) {
        const qsizetype index = lookUp(name);
        if (index < 0 && !binding.missingJoints.contains(name))
            binding.missingJoints.append(name);
        return index;
    };
    for (qsizetype i = 0; i < segments.size(); ++i) {
        binding.totalMass += segments[i].mass;
        const qsizetype start = find(segments[i].startJoint);
        const qsizetype end = find(segments[i].endJoint);
        if (start >= 0 && end >= 0)
            binding.bound.push_back({i, start, end});
        else
            binding.unboundSegments.append(i);
    }
    return binding;
}

bool SegmentBinding::isComplete() const
{
    return !bound.empty() && unboundSegments.isEmpty() &&
           std::abs(totalMass - 1.0) <= massTolerance;
}

QStringList SegmentBinding::problems(const MassSegmentModel& segments) const
{
    QStringList problems;
    if (segments.isEmpty()) {
        problems.append(QStringLiteral("The mass-segment model has no segments."));
        return problems;
    }
    for (const qsizetype index : unboundSegments) {
        const MassSegment& segment = segments[index];
        problems.append(QStringLiteral("Segment %1 (%2 to %3) names a joint the skeleton lacks.")
                            .arg(index + 1)
                            .arg(segment.startJoint, segment.endJoint));
    }
    if (std::abs(totalMass - 1.0) > massTolerance)
        problems.append(QStringLiteral("The mass fractions sum to %1, not 1.")
                            .arg(NumberFormat::general(totalMass)));
    return problems;
}
