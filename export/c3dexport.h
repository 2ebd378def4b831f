#pragma once

#include "export/c3dfile.h"
#include "model/bvhfile.h"
#include "model/exportoptions.h"
#include "model/progresssink.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <Eigen/Core>

#include <vector>

class C3DPipeline;

// The one C3D export of a motion, used by the window's C3D command and by the command-line
// conversion alike.
namespace C3DExport {

// Points of the file beyond the joints, after them: each a label and a sample per frame of the
// range, already in the file's axes and units (millimetres for places, degrees for the angles
// gait software stores as points). A sample that is not finite is written as invalid.
struct ExtraPoints
{
    QStringList labels;
    std::vector<std::vector<Eigen::Vector3d>> samples; // per point, per frame
    QStringList angles; // the labels that hold angles: POINT:ANGLES, ANGLE_UNITS "deg"
};

// Used when the motion's frame time gives no rate (zero, negative, not finite, or so small
// that the rate overflows): the rate a new C3D header declares.
inline constexpr int fallbackFrameRate = 30;

// The integer part of 1 / frameTime + 0.5, computed in double precision; fallbackFrameRate
// when that is not a finite number in the int range.
int frameRate(double frameTime);

// Writes the absolute positions of every joint (End Sites included, in getAllJoints() order;
// the options' joint selection does not apply) in each frame of the options' range as a C3D
// file, posed under the options' convention, converted as C3DAxes says for rows in the
// options' unit and declared as millimetres; the joint names are the labels. Reads the frame
// rows and leaves the motion as it was. Reports each frame to `progress` (which may be null)
// before converting it and stops after a frame once the sink is canceled; the frames converted
// so far are still written. The samples go to the file block by block as they are made, and
// the head's frame count is written last. With a `pipeline` that was given to the BvhReader of
// the motion and wrote this very file while it was read, the file goes on from the frames it
// wrote, and the result is the same, byte for byte. `events` go to the EVENT group
// (C3DFile::addEvents), their times counted from the range's first frame.
// `labels` replace the joint names (one per joint) when given; `extra` points follow the
// joints'.
WriteResult exportMotion(const BvhFile& motion, const QString& fileName,
                         const ExportOptions& options, const QList<C3DEvent>& events = {},
                         ProgressSink* progress = nullptr, C3DPipeline* pipeline = nullptr,
                         const QStringList& labels = {}, const ExtraPoints& extra = {});

} // namespace C3DExport
