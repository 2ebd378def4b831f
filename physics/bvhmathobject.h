#pragma once

#include "model/bvhfile.h"
#include "model/writeresult.h"
#include "physics/centreofmass.h"
#include "physics/masssegment.h"
#include "physics/masssegmentfile.h"
#include "physics/segmentbinding.h"

#include <QObject>
#include <QPointer>

#include <span>

// The window's view of the physics: the mass-segment model in use, its binding to the joints
// of the open motion, and the centres of mass of the pose on screen. The work is done by
// MassSegmentFile, SegmentBinding and CentreOfMass, which the exports call directly.
class BvhMathObject : public QObject
{
    Q_OBJECT

public:
    // Starts with the model of MassSegmentFile::defaultModelFile().
    BvhMathObject();

    // The open motion, or null when none is open; binds the model to its joints.
    void setBvhFile(BvhFile* file);
    BvhFile* getBvhFile() const { return bvhFile; }

    const MassSegmentModel& getSegments() const { return segments; }
    // Replaces the model by one the user made or chose, and binds it to the open motion.
    void setSegments(const MassSegmentModel& newSegments);
    // Replaces the model by the one a skeleton profile gives the open motion.
    void setProfileModel(const MassSegmentModel& newSegments);
    // True when the model came from the user (setSegments, readMassSegments), not a profile.
    bool hasUserModel() const { return userModel; }
    // Replaces the model by the file's segments; a file that cannot be read or parsed leaves
    // the model unchanged (the result says why).
    MassSegmentReadResult readMassSegments(const QString& fileName);
    WriteResult writeMassSegments(const QString& fileName) const;

    // The binding of the model to the open motion's joints (empty without a motion).
    const SegmentBinding& getBinding() const { return binding; }
    // The centres of the pose whose joints are at `jointPositions` (getAllJoints() order).
    const CentresOfMass& computeCentres(std::span<const Vector3f> jointPositions);

private:
    void bind();

    QPointer<BvhFile> bvhFile;
    MassSegmentModel segments;
    SegmentBinding binding;
    CentresOfMass centres;
    bool userModel = false;
};
