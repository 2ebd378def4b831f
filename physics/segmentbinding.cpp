#include "segmentbinding.h"

#include "model/bvhjoint.h"

#include <QHash>

SegmentBinding SegmentBinding::bind(const MassSegmentModel& segments,
                                    const QList<BvhJoint*>& joints)
{
    QHash<QString, qsizetype> firstIndex;
    for (qsizetype i = joints.size() - 1; i >= 0; --i)
        firstIndex.insert(joints[i]->getName(), i);
    SegmentBinding binding;
    const auto find = [&](const QString& name) {
        const qsizetype index = firstIndex.value(name, -1);
        if (index < 0 && !binding.missingJoints.contains(name))
            binding.missingJoints.append(name);
        return index;
    };
    for (qsizetype i = 0; i < segments.size(); ++i) {
        const qsizetype start = find(segments[i].startJoint);
        const qsizetype end = find(segments[i].endJoint);
        if (start >= 0 && end >= 0)
            binding.bound.push_back({i, start, end});
        else
            binding.unboundSegments.append(i);
    }
    return binding;
}
