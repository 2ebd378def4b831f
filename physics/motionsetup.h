#pragma once

#include "model/exportoptions.h"
#include "model/lengthunit.h"
#include "model/vectortypes.h"
#include "model/poseconvention.h"
#include "physics/masssegment.h"
#include "physics/segmentbinding.h"
#include "physics/skeletonprofile.h"

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
};

// How one motion is posed, scaled and weighed: its profile, the convention its joints take,
// its length unit and the mass-segment model bound to its skeleton.
struct MotionSetup
{
    SkeletonProfile profile;
    bool detected = false; // the profile was detected, not asked for
    PoseConvention convention;
    LengthUnit unit;
    bool unitJudged = false; // the skeleton's size overrode the profile's unit
    double stature = 0.0;    // of the rest pose, in the file's numbers
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

    // The setup of the skeleton under `root` (null: the default setup of the iPi Studio
    // profile) for `request`. The model is the request's file; else defaultMassSegments.xml of
    // the current directory when it binds completely; else the profile's model fitted to the
    // skeleton. An unknown profile or an unreadable model file is an error.
    static MotionSetup choose(const SkeletonProfiles& profiles, const BvhJoint* root,
                              const SetupRequest& request);
};
