#include "jointnames.h"

#include "model/bvhjoint.h"

namespace JointNames {

QString shown(const BvhJoint& joint)
{
    const BvhJoint* parent = joint.getParentJoint();
    if (joint.getName() != QLatin1String("End Site") || !parent)
        return joint.getName();
    return QStringLiteral("End Site (%1)").arg(parent->getName());
}

QStringList shownNames(const BvhJoint* root)
{
    QStringList names;
    if (!root)
        return names;
    for (const BvhJoint* joint : root->getAllJoints())
        names.append(shown(*joint));
    return names;
}

} // namespace JointNames
