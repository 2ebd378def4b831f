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

QList<LengthUnit> LengthUnit::commonUnits()
{
    return {centimetres(), millimetresUnit(), metres(), inches()};
}

static bool makesHeight(double stature, const LengthUnit& unit, double shortest, double tallest)
{
    const double millimetres = stature * unit.millimetres;
    return millimetres >= shortest && millimetres <= tallest;
}

LengthUnit LengthUnit::judge(double stature, const LengthUnit& assumed,
                             const QList<LengthUnit>& candidates)
{
    for (const auto& [shortest, tallest] :
         {std::pair{shortestAdult, tallestAdult}, {shortestPerson, tallestPerson}}) {
        if (makesHeight(stature, assumed, shortest, tallest))
            return assumed;
        QList<LengthUnit> fitting;
        for (const LengthUnit& unit : candidates) {
            if (makesHeight(stature, unit, shortest, tallest))
                fitting.append(unit);
        }
        if (!fitting.isEmpty())
            return nearestPerson(stature, fitting);
    }
    return assumed;
}

LengthUnit LengthUnit::nearestPerson(double stature, const QList<LengthUnit>& candidates)
{
    LengthUnit best = candidates.value(0, centimetres());
    double bestMiss = std::numeric_limits<double>::infinity();
    for (const LengthUnit& unit : candidates) {
        const double miss = std::abs(std::log(stature * unit.millimetres / typicalPerson));
        if (miss < bestMiss) {
            best = unit;
            bestMiss = miss;
        }
    }
    return best;
}

std::vector<Eigen::Vector3d> restPosePositions(const BvhJoint* root)
{
    std::vector<Eigen::Vector3d> positions;
    if (!root)
        return positions;
    const QList<BvhJoint*> joints = root->getAllJoints();
    QHash<const BvhJoint*, size_t> indexOf;
    indexOf.reserve(joints.size());
    positions.reserve(size_t(joints.size()));
    for (const BvhJoint* joint : joints) {
        // Pre-order: a parent's place is known before its children's.
        const auto parent = indexOf.constFind(joint->getParentJoint());
        const Eigen::Vector3d base =
            parent == indexOf.cend() ? Eigen::Vector3d::Zero() : positions[*parent];
        indexOf.insert(joint, positions.size());
        positions.push_back(base + joint->getOffset().cast<double>());
    }
    return positions;
}

double restPoseStature(const BvhJoint* root)
{
    const std::vector<Eigen::Vector3d> positions = restPosePositions(root);
    if (positions.empty())
        return 0.0;
    Eigen::Vector3d low = Eigen::Vector3d::Constant(std::numeric_limits<double>::infinity());
    Eigen::Vector3d high = -low;
    for (const Eigen::Vector3d& place : positions) {
        low = low.cwiseMin(place);
        high = high.cwiseMax(place);
    }
    const double stature = (high - low).maxCoeff();
    return std::isfinite(stature) ? stature : 0.0;
}
