#include "skeletonprofile.h"

#include "model/bvhjoint.h"
#include "physics/segmentbinding.h"

static const QString endSiteName = QStringLiteral("End Site");
static const QString endSiteSuffix = QStringLiteral("/End Site");

// Finds the skeleton's names for a profile's names.
class NameMatcher
{
public:
    NameMatcher(const SkeletonProfile& profile, const QList<BvhJoint*>& joints)
        : profile(profile), joints(joints)
    {
    }

    // The name of a joint without the profile's prefix.
    QString withoutPrefix(const QString& jointName) const
    {
        for (const QString& prefix : profile.prefixes) {
            if (!prefix.isEmpty() && jointName.startsWith(prefix, profile.nameCase))
                return jointName.mid(prefix.size());
        }
        return jointName;
    }

    // The joint name of the skeleton that `name` stands for, or an empty string.
    QString resolve(const QString& name) const
    {
        if (name == endSiteName)
            return firstJoint(endSiteName) ? endSiteName : QString();
        if (!name.endsWith(endSiteSuffix))
            return jointMatching(name);
        const QString parentName = jointMatching(name.chopped(endSiteSuffix.size()));
        const BvhJoint* parent = parentName.isEmpty() ? nullptr : firstJoint(parentName);
        if (!parent)
            return {};
        for (int c = 0; c < parent->getNumChildren(); ++c) {
            const BvhJoint* child = parent->getChild(c);
            if (child && child->getName() == endSiteName && child->getNumChildren() == 0)
                return parentName + endSiteSuffix;
        }
        return {};
    }

private:
    QString jointMatching(const QString& name) const
    {
        for (const BvhJoint* joint : joints) {
            const QString jointName = joint->getName();
            if (jointName != endSiteName &&
                withoutPrefix(jointName).compare(name, profile.nameCase) == 0)
                return jointName;
        }
        return {};
    }

    const BvhJoint* firstJoint(const QString& jointName) const
    {
        for (const BvhJoint* joint : joints) {
            if (joint->getName() == jointName)
                return joint;
        }
        return nullptr;
    }

    const SkeletonProfile& profile;
    const QList<BvhJoint*>& joints;
};

// The skeleton's name for a model name (a landmark or a joint name), or the profile's first
// name for it when the skeleton has none (`found` false); `later` counts the names found
// past a landmark's first one.
static QString resolveName(const SkeletonProfile& profile, const NameMatcher& matcher,
                           const QString& modelName, int& later, bool& found)
{
    found = true;
    QStringList names{modelName};
    for (const SkeletonProfile::Landmark& landmark : profile.landmarks) {
        if (landmark.name == modelName) {
            names = landmark.jointNames;
            break;
        }
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString jointName = matcher.resolve(names[i]);
        if (!jointName.isEmpty()) {
            later += i > 0;
            return jointName;
        }
    }
    found = false;
    return names.value(0, modelName);
}

SkeletonProfile::FittedModel SkeletonProfile::fit(const QList<BvhJoint*>& joints) const
{
    const NameMatcher matcher(*this, joints);
    FittedModel fitted;
    bool found = false;
    for (MassSegment segment : segments) {
        segment.startJoint =
            resolveName(*this, matcher, segment.startJoint, fitted.laterNames, found);
        segment.endJoint = resolveName(*this, matcher, segment.endJoint, fitted.laterNames, found);
        fitted.segments.append(segment);
    }
    return fitted;
}

QString SkeletonProfile::jointNameFor(const QString& landmark, const QList<BvhJoint*>& joints) const
{
    const NameMatcher matcher(*this, joints);
    int later = 0;
    bool found = false;
    const QString name = resolveName(*this, matcher, landmark, later, found);
    return found ? name : QString();
}

int SkeletonProfile::jointIndexFor(const QString& landmark, const QList<BvhJoint*>& joints) const
{
    const QString name = jointNameFor(landmark, joints);
    if (name.isEmpty())
        return -1;
    // A one-joint segment, bound as the model's segments are.
    const SegmentBinding binding = SegmentBinding::bind({{name, name, 0, 1}}, joints);
    return binding.bound.empty() ? -1 : binding.bound[0].startJoint;
}

int SkeletonProfile::recognisedJoints(const QList<BvhJoint*>& joints) const
{
    QStringList known = skeletonJoints;
    for (const Landmark& landmark : landmarks)
        known += landmark.jointNames.value(0); // later names may be another family's
    const NameMatcher matcher(*this, joints);
    int count = 0;
    for (const BvhJoint* joint : joints) {
        const QString name = joint->getName();
        count += name != endSiteName && known.contains(matcher.withoutPrefix(name), nameCase);
    }
    return count;
}
