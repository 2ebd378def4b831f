#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <Eigen/Core>

#include <array>
#include <span>
#include <vector>

class BvhJoint;
struct SkeletonProfile;

// Joint angles of the legs, pelvis and trunk from the places of the body's landmarks alone, so
// that every skeleton gives comparable curves whatever its producer's rotation channels mean.
//
// Each segment gets a frame from the joint centres (X forward, Y up along the segment, Z to the
// side): the pelvis from the two hips and a point above them (the pelvis joint, or the first
// joint of the spine when the pelvis joint lies on the line of the hips); the thigh from hip to
// knee, the shank from knee to ankle, the trunk from the middle of the hips to the neck with the
// shoulders across. Joint centres fix no axis that turns with the thigh about its length, so
// the thigh and shank take their sideways axis from the segment above, and hip rotation is not
// reported; the knee and the ankle bend by the angle between their segments' lines (hip-knee
// and knee-ankle; knee-ankle and ankle-toe), which that turn does not change.
//
// The thigh and shank run along the lines between their joint centres, so a straight leg under
// the pelvis has hip and knee at 0 whatever the skeleton. Every neutral comes from the joint
// centres as posed, never from the skeleton's rest pose, which says how a producer rigged its
// bones rather than how the person stood, so the same walk gives the same angles however its
// skeleton is rigged: the pelvis is upright at its median tilt over the walk (joint centres fix
// no anatomical tilt: the line from the middle of the hips to the third point leans as far as
// a producer puts that point behind or before them, so only the tilt's changes are measured,
// and walks of any skeleton pool), the trunk neutral when its line (the middle of the hips to
// the neck) runs along the pelvis's, and the ankle at 0 when the foot makes the angle with the
// shank that it makes with the vertical while it rests flat on the floor (the quarter of the
// frames where the foot moves least), as a standing person's does. The foot progresses along
// the walking direction when it points along it seen from above: across the plane of the
// knee, ankle and toe, which holds steady while the foot pitches at toe off.
//
// The angle between two frames is the Cardan sequence Z-X-Y of the distal frame in the proximal
// one: flexion about the proximal Z, ab/adduction about the floating X, rotation about the
// distal Y, the joint coordinate system of Grood and Suntay (1983) as the ISB recommends it
// (Wu et al. 2002, J Biomech 35: 543-548). The pelvis is angled in the walking frame (X the
// walking direction, Y up). The left side is computed as the mirror image of the right, so
// that a sign means the same on both sides.
struct JointAngles
{
    using Vector = Eigen::Vector3d;

    enum Angle
    {
        PelvisTilt,          // anterior +
        PelvisObliquity,     // this side up +
        PelvisRotation,      // this side forward +
        HipFlexion,          // flexion +
        HipAdduction,        // adduction +
        KneeFlexion,         // flexion +
        AnkleDorsiflexion,   // dorsiflexion +, plantar flexion -
        FootProgression,     // toe in +, toe out -, against the walking direction
        TrunkFlexion,        // forward +, relative to the pelvis
        TrunkLateralBending, // towards this side +
        TrunkRotation,       // this side's shoulder forward +
        angleCount
    };
    // The places the angles are made from.
    enum Point
    {
        PelvisTop, // above the hips, moving with the pelvis
        LeftHip,
        RightHip,
        LeftKnee,
        RightKnee,
        LeftAnkle,
        RightAnkle,
        LeftToe,
        RightToe,
        Neck,
        LeftShoulder,
        RightShoulder,
        pointCount
    };
    using PointIndices = std::array<int, pointCount>; // -1 where the skeleton has none

    // "PELVIS_TILT", "KNEE_FLEXION", ...; a table's column is "LEFT_" or "RIGHT_" before it.
    static QString nameOf(Angle angle);
    // "Pelvis tilt", "Knee flexion", ... for people.
    static QString titleOf(Angle angle);
    // The joint (index into `joints`, all joints of the tree in pre-order) of each point as
    // the profile names the landmarks; the pelvis's third point the first of the pelvis joint
    // and the spine's first joint that lies above the hips' line in `poses` (every joint's
    // place in a few posed frames).
    static PointIndices pointIndices(const SkeletonProfile& profile, const QList<BvhJoint*>& joints,
                                     const std::vector<std::vector<Vector>>& poses);
    // Whether the points of `indices` define an angle.
    static bool defines(const PointIndices& indices, Angle angle);

    // Per side (GaitEvent::Foot) and angle, degrees at every frame; empty for an angle the
    // landmarks do not define, NaN where a frame's points coincide.
    std::array<std::array<std::vector<double>, angleCount>, 2> degrees;

    // Why angles are missing, each said once: the landmarks an angle needs that the skeleton
    // lacks, and how many frames could not be measured (their points coincide).
    QStringList notes;

    bool has(Angle angle) const { return !degrees[0][angle].empty(); }
    int size() const;

    // The angles of every frame: `tracks[point]` the places of a point over the frames (empty
    // for a point the skeleton lacks), `forward` the horizontal walking direction of each frame
    // and `up` the world's up axis.
    static JointAngles compute(const std::array<std::span<const Vector>, pointCount>& tracks,
                               std::span<const Vector> forward, const Vector& up);
};
