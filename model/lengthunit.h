#pragma once

#include <QList>
#include <QString>

#include <Eigen/Core>

#include <optional>
#include <vector>

class BvhJoint;

// The length unit of a motion's numbers. BVH files do not say theirs: a skeleton profile
// states the unit its producer writes, and judge() checks it against the size of the skeleton.
struct LengthUnit
{
    QString name;              // "cm", "m", "mm", "in", or a profile's own name
    double millimetres = 10.0; // one unit in millimetres

    // One unit in metres: what a length of the unit is multiplied by to be shown in metres.
    double metresPerUnit() const { return millimetres / 1000.0; }

    static LengthUnit centimetres() { return {QStringLiteral("cm"), 10.0}; }
    static LengthUnit metres() { return {QStringLiteral("m"), 1000.0}; }
    static LengthUnit millimetresUnit() { return {QStringLiteral("mm"), 1.0}; }
    static LengthUnit inches() { return {QStringLiteral("in"), 25.4}; }
    // "cm", "m", "mm" or "in"; nothing for another name.
    static std::optional<LengthUnit> fromName(const QString& name);

    // cm, mm, m and in: the units producers write.
    static QList<LengthUnit> commonUnits();

    // A grown person stands between the first two heights, in millimetres; anyone, a child or
    // a drawn figure, between the last two.
    static constexpr double shortestAdult = 1200.0;
    static constexpr double tallestAdult = 2300.0;
    static constexpr double shortestPerson = 400.0;
    static constexpr double tallestPerson = 3000.0;
    static constexpr double typicalPerson = 1700.0;

    // The unit of a skeleton `stature` long in the numbers of its file: `assumed` when that
    // makes a grown person of it; else the one of `candidates` that does (nearest
    // typicalPerson); else `assumed` when that makes a person of any size; else the candidate
    // that does; else still `assumed`. So a file in inches or metres read with a profile of
    // centimetres gets its own unit, while a small figure keeps the profile's.
    static LengthUnit judge(double stature, const LengthUnit& assumed,
                            const QList<LengthUnit>& candidates = commonUnits());
    // The unit among `candidates` (at least one) that makes `stature` nearest a grown person's
    // height, typicalPerson, by ratio.
    static LengthUnit nearestPerson(double stature, const QList<LengthUnit>& candidates);

    bool operator==(const LengthUnit&) const = default;
};

// Every joint's place in the rest pose (all channels zero, each joint at its parent's place
// plus its OFFSET), in getAllJoints() order; empty for a null root.
std::vector<Eigen::Vector3d> restPosePositions(const BvhJoint* root);
// The longest side of the box around every joint of the rest pose: the stature of a standing
// figure, the arm span of one lying down. 0 for a null root.
double restPoseStature(const BvhJoint* root);
