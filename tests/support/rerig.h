#pragma once

#include "model/bvhfile.h"
#include "model/poseconvention.h"

#include <Eigen/Core>

#include <vector>

namespace TestSupport {

// Writes a recording again with the same world motion, rigged as other exporters rig their
// skeletons: every joint of the recording stays at its world place in every frame, while the
// tree, the OFFSETs, the channels and the rest pose change. The analysis of a rigged copy must
// give the recording's answers.
namespace Rerig {

// How the copy is rigged. Each choice may be combined with the others.
struct Rig
{
    enum class Reference
    {
        None,
        // A joint at the floor under the root (the pelvis), with six channels, turning with
        // the body's heading; the root is its child, its OFFSET the root's standing height.
        WithPelvisPositions,   // the pelvis keeps its own position channels
        WithoutPelvisPositions // the reference travels with the pelvis, so that it need none
    };
    Reference reference = Reference::None;
    bool lyingRest = false;      // the rest pose laid down, its up along Z: the root stands it up
    bool localXBones = false;    // each joint's OFFSET along its parent's local X, the rest
                                 // orientations folded into the rotations
    bool sixChannels = false;    // position channels on every joint, beside its rotations
    bool zeroOffsets = false;    // the OFFSET of every joint with position channels left at 0
    bool extraBones = false;     // a twist bone inside and a share bone beside every limb bone,
                                 // five toes on each foot, five fingers on each hand, a jaw
    bool scrambledNames = false; // every joint renamed to a meaningless token
    double scale = 1.0;          // every length multiplied by this: another unit
    bool restFrameFirst = false; // a frame of the rest pose (every rotation 0) before the motion
    // A capture volume whose floor is not level. Unlike the choices above these move the
    // world: it is turned by tiltDegrees about the horizontal axis across the root's way from
    // its first frame to its last (along it when tiltSideways), about the root's first place,
    // and raised by `rise` (in the recording's unit) in proportion to the way the root has
    // come along the floor.
    double tiltDegrees = 0.0;
    bool tiltSideways = false;
    double rise = 0.0;
};

// What the tool needs to know of the recording.
struct Source
{
    const BvhFile* motion = nullptr;
    PoseConvention convention;                     // how the recording is posed
    Eigen::Vector3d up = Eigen::Vector3d::UnitY(); // the world axis the figure stands on
    // Joints (indices in getAllJoints()) that end a limb bone: a twist bone goes above each,
    // a share bone beside it; the joints that carry five toes, and five fingers; and the head,
    // which gets a jaw.
    QList<int> limbBones;
    QList<int> feet;
    QList<int> hands;
    int head = -1;
};

struct Rigged
{
    QByteArray text;
    PoseConvention convention; // how the copy is meant to be posed
    // The copy's joint (index in its getAllJoints()) of each joint of the recording.
    QList<int> jointOf;
    int firstFrame = 0; // the copy's frame that holds the recording's first frame
    QString problem;    // empty unless the recording has no skeleton or no frame
};

// `source` rigged as `rig` says, written for `convention` (rotations in X·Y·Z order for a
// fixed product, Z·X·Y otherwise; position channels added to or replacing OFFSET as it says).
Rigged rig(const Source& source, const Rig& rig, const PoseConvention& convention);

// Every joint's world place in frame `frame` of `motion` posed under `convention`, computed in
// double precision (the program poses in single precision).
std::vector<Eigen::Vector3d> worldPlaces(const BvhFile& motion, const PoseConvention& convention,
                                         int frame);

} // namespace Rerig
} // namespace TestSupport
