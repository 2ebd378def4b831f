#pragma once

#include "model/exportoptions.h"
#include "model/lengthunit.h"
#include "model/poseconvention.h"
#include "model/vectortypes.h"
#include "physics/masssegment.h"
#include "physics/segmentbinding.h"
#include "skeleton/skeletonprofile.h"

#include <QString>
#include <QStringList>

#include <optional>

class BvhFile;
class BvhJoint;
class SkeletonProfiles;

// What a user asked for about a motion; whatever is left open is chosen from its skeleton.
struct SetupRequest
{
    QString profileName;                      // empty: the detected profile
    std::optional<PoseConvention> convention; // none: the profile's
    std::optional<LengthUnit> unit;           // none: the profile's, judged by the stature
    QString modelFile;                        // empty: see MotionSetup::choose

    bool operator==(const SetupRequest&) const = default;
};

// How one motion is posed, scaled and weighed: its profile, the convention its joints take,
// its length unit and the mass-segment model bound to its skeleton.
struct MotionSetup
{
    // Where the profile came from.
    enum class Origin
    {
        Chosen,   // the user named it
        Detected, // the profile whose names bind every landmark its model needs
        Shape,    // no profile's names bind: the landmarks were found from the skeleton's shape
        NoneFits  // neither: no centre of mass, and what is missing said in `fitProblem`
    };

    SkeletonProfile profile;
    Origin origin = Origin::Detected;
    QString fitProblem; // for NoneFits, why the shape is not a humanoid's
    // When the skeleton was read by its shape: the rows whose poses it was read from, and the
    // joints above the body it set aside (a reference on the floor).
    QList<int> shapeFrames;
    QStringList setAside;
    PoseConvention convention;
    LengthUnit unit;
    bool unitJudged = false; // the skeleton's size overrode the profile's unit
    // A standing person's height in the file's numbers, along the bones whatever the rest pose
    // (MotionSamples::boneLengths): hip to ankle, pelvis to head top, and the ankle's height.
    // Without those landmarks, the
    // rest pose's size over the body: the joints below the topmost one with position channels,
    // whose OFFSET those replace (a reference joint on the floor above them is no part of it).
    double stature = 0.0;
    MassSegmentModel segments;
    QString modelFile;      // where the model came from; empty for the profile's own
    bool userModel = false; // the user opened or edited the model
    SegmentBinding binding;
    QString errorString; // why the request cannot be met; empty when it can

    bool ok() const { return errorString.isEmpty(); }
    // One line for a status bar or a log: profile, unit and model.
    QString summary() const;
    // Every frame and joint of `motion`, posed under this convention and scaled by this unit.
    ExportOptions exportOptions(const BvhFile& motion) const;
    // The world axis the motion's figure stands along, pointing up: the one its pelvis to head
    // top (as the profile names them) runs along most, summed over a few frames posed as the
    // motion's joints say; +y when the profile finds neither or the motion has no frame. (The
    // rest pose will not do: some producers lay its spine along x.)
    Vector3f upAxisOf(const BvhFile& motion) const;

    bool detected() const { return origin == Origin::Detected || origin == Origin::Shape; }
    // The setup in full, for people, a line per item, as it binds the skeleton under `root`:
    // the profile and where it came from, the convention, the unit and stature, the model,
    // each landmark's joint, and whether the model fits (File > Properties, --show-profile).
    QStringList describe(const BvhJoint* root) const;
    // The profile to save as NAME.profile.xml for editing and installing: named `name`; a
    // profile recognised by shape also lists the skeleton's joint names, so that it is
    // detected for skeletons like this one.
    SkeletonProfile profileToSave(const QString& name, const BvhJoint* root) const;
    // "detected", "chosen", "recognised by shape" or "no profile fits".
    QString originText() const;

    // The setup of the skeleton of `motion` (none: the default setup of the iPi Studio
    // profile) for `request`. Without a profile asked for, the detected one; else the skeleton
    // recognised by its shape (which poses some of the frames); else no profile. The model is
    // the request's file; else defaultMassSegments.xml of the current directory when it binds
    // completely; else the profile's model fitted to the skeleton. An unknown profile or an
    // unreadable model file is an error.
    static MotionSetup choose(const SkeletonProfiles& profiles, const BvhFile& motion,
                              const SetupRequest& request);
};
