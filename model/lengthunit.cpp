#include "lengthunit.h"

#include "model/bvhjoint.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <limits>

std::optional<LengthUnit> LengthUnit::fromName(const QString& name)
{
    for (const LengthUnit& unit : {centimetres(), metres(), millimetresUnit(), inches()}) {
        if (unit.name == name)
            return unit;
    }
    return std::nullopt;
}

static bool makesPerson(double stature, const LengthUnit& unit)
{
    const double millimetres = stature * unit.millimetres;
    return millimetres >= LengthUnit::shortestPerson && millimetres <= LengthUnit::tallestPerson;
}

LengthUnit LengthUnit::judge(double stature, const LengthUnit& assumed)
{
    if (makesPerson(stature, assumed))
        return assumed;
    for (const LengthUnit& unit : {metres(), millimetresUnit()}) {
        if (makesPerson(stature, unit))
            return unit;
    }
    return assumed;
}

double restPoseStature(const BvhJoint* root)
{
    if (!root)
        return 0.0;
    const QList<BvhJoint*> joints = root->getAllJoints();
    QHash<const BvhJoint*, Eigen::Vector3d> places;
    places.reserve(joints.size());
    Eigen::Vector3d low = Eigen::Vector3d::Constant(std::numeric_limits<double>::infinity());
    Eigen::Vector3d high = -low;
    for (const BvhJoint* joint : joints) {
        // Pre-order: a parent's place is known before its children's.
        const Eigen::Vector3d place =
            places.value(joint->getParentJoint(), Eigen::Vector3d::Zero()) +
            joint->getOffset().cast<double>();
        places.insert(joint, place);
        low = low.cwiseMin(place);
        high = high.cwiseMax(place);
    }
    const double stature = (high - low).maxCoeff();
    return std::isfinite(stature) ? stature : 0.0;
}
