#pragma once

#include "model/bvhfile.h"
#include "model/progresssink.h"
#include "model/vectortypes.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class BvhJoint;

// The program's one physics object: the mass-segment model (segment i runs from a start joint
// to an end joint, carries masses[i] of the body mass and has its centre of mass at
// proximalDistances[i] of the way from start to end), its binding to the joints of the open
// motion, the centres of mass of the current frame, and the rotation interpolation.
class BvhMathObject : public QObject
{
    Q_OBJECT

public:
    // Starts empty and reads "defaultMassSegments.xml" from the current directory, if any.
    BvhMathObject();
    ~BvhMathObject() override;

    // The open motion, or null when none is open.
    void setBvhFile(BvhFile* file);
    void clearSegments();
    // Replaces the model by the file's segments; a file that cannot be read or parsed leaves
    // the model unchanged and returns false (errorString says why).
    bool readMassSegments(const QString& fileName, QString* errorString = nullptr);
    WriteResult writeMassSegments(const QString& fileName) const;
    // Binds the segment joint names to the joints of the open motion (the first joint in
    // pre-order with exactly that name; "End Site" is the first End Site). Reports
    // "Couldn't find mass joint" with the name for every name the motion lacks. Without an
    // open motion nothing is bound.
    void findMassJoints();
    // Segments the computations use: the length of the shortest of the four segment lists,
    // so a segment missing a value is never paired with another segment's values.
    qsizetype getSegmentCount() const;

    // Centres of mass of the current frame, one per bound segment (segments with a null joint
    // are skipped; segmentCentreIndices tells which segment each centre belongs to).
    QList<Vector3f> computeSegmentCentres();
    // Sum of the segment centres of the last computeSegmentCentres() weighted by their mass
    // fractions, not divided by the total mass: the centre of mass when the fractions sum to 1.
    Vector3f computeBodyCentre() const;

    // Interpolates the rotations of the selected joints (flags in getAllJoints() order) over
    // the frames after leftFrame up to and including rightFrame.
    void interpolateJoints(const QList<bool>& selection, int leftFrame, int rightFrame,
                           ProgressSink* progress = nullptr);
    // The rotation of each frame after leftFrame up to rightFrame becomes the normalised blend
    // of the two end rotations, taken the short way round. The range is cut to the rows that
    // exist; the motion is left at rightFrame.
    void interpolateJoint(BvhJoint* joint, int leftFrame, int rightFrame);
    // Scales to unit length; a quaternion of length 0 (or not finite) becomes no rotation.
    static void normalizeQuaternion(Vector4f& quaternion);

    // The whole-body centre of mass of frames startFrame..endFrame (both included; -1 means the
    // last frame) as a CSV table.
    WriteResult exportMassCentreCsv(const QString& fileName, int startFrame, int endFrame,
                                    ProgressSink* progress = nullptr);

    QPointer<BvhFile> bvhFile;
    QPointer<BvhJoint> rootJoint;
    QStringList startJointNames;
    QStringList endJointNames;
    QList<QPointer<BvhJoint>> startJoints;
    QList<QPointer<BvhJoint>> endJoints;
    QList<double> proximalDistances;
    QList<double> masses;
    QList<Vector3f> segmentCentres;
    QList<qsizetype> segmentCentreIndices; // segment index of each entry of segmentCentres
};
