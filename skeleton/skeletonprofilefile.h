#pragma once

#include "model/writeresult.h"
#include "skeleton/skeletonprofile.h"

#include <QString>
#include <QStringList>

// What reading a profile file gave: the profile, or why there is none.
struct SkeletonProfileReadResult
{
    bool ok = false;
    QString errorString;
    QStringList warnings;
    SkeletonProfile profile;
    QString modelFile; // the Model element's file, relative to the profile's folder
};

// The XML file of a skeleton profile:
//   <SkeletonProfile name="cmu" title="CMU (ASF-derived names)">
//      <Convention rotationOrder="declared" positionChannels="replace" pi="exact"/>
//      <Unit>cm</Unit>                      (cm, m, mm or in; or any name with a
//                                           millimetres="..." attribute)
//      <JointNames caseSensitive="false" prefixes="mixamorig:"/>
//      <Joints>Hips Spine ... LeftToeBase</Joints>   (the family's joint names)
//      <Joint concept="left knee">LeftLeg|LeftKnee</Joint>
//      <Model>deLeva1996.xml</Model>        (a mass-segment file in the profile's folder,
//                                           whose joint names may be concepts; or else
//      <Segment>...</Segment>                Segment elements as in such a file)
//   </SkeletonProfile>
// rotationOrder is fixed (X·Y·Z whatever the file declares) or declared; positionChannels add
// (to OFFSET) or replace (OFFSET); pi approximate (3.14159), exact, or a number. Everything but
// the name has a default: iPi Studio's convention, centimetres, names compared exactly, no
// landmarks, no model.
namespace SkeletonProfileFile {

SkeletonProfileReadResult read(const QString& fileName);
// The name a profile saved as NAME.profile.xml (or NAME.xml) takes.
QString profileNameOf(const QString& fileName);
// The profile as a file read() gives back, its model held as Segment elements; the old file is
// kept when the write fails.
WriteResult write(const QString& fileName, const SkeletonProfile& profile);

} // namespace SkeletonProfileFile
