#pragma once

#include "model/exportoptions.h"
#include "model/writeresult.h"

#include <Eigen/Core>

#include <QString>
#include <QStringList>

class BvhFile;
struct MotionAnalysis;
struct MotionSetup;

// The files OpenSim reads: joint centres as markers (TRC) for its inverse kinematics, and the
// analysis as a storage file (MOT) to plot beside its results. OpenSim's models stand on +Y and
// face +X: both files are turned so that the motion's up axis is +Y and, when the body walks,
// its overall direction of travel is +X (a turn about the vertical; nothing else changes).
namespace OpenSimFiles {

enum class Units
{
    Millimetres,
    Metres
};

// The turn and scale from the motion's numbers to OpenSim's: p' = scale * turn * p.
struct Frame
{
    Eigen::Matrix3d turn = Eigen::Matrix3d::Identity();
    double scale = 10.0; // the motion's unit in the file's
    QString units = QStringLiteral("mm");
    bool turnedToWalk = false; // the direction of travel was turned onto +X

    Eigen::Vector3d apply(const Eigen::Vector3d& p) const { return scale * (turn * p); }
};

// The frame of `options.range` of `motion` under `setup`: up from the setup, the direction
// of travel from the root joint's horizontal path when it goes at least a fifth of the stature.
Frame frameOf(const BvhFile& motion, const MotionSetup& setup, const ExportOptions& options,
              Units units);

// The marker names of the selected joints: each joint's name, an End Site named after its
// parent ("Head_End"), and a name that would repeat one before it given a suffix ("_2", "_3").
QStringList markerNames(const BvhFile& motion, const QList<bool>& selection);

// The TRC file: OpenSim's header (PathFileType 4, DataRate, CameraRate, NumFrames, NumMarkers,
// Units, OrigDataRate, OrigDataStartFrame, OrigNumFrames; then Frame#, Time and the marker
// names, X1 Y1 Z1 ... and an empty line), then a tab-separated row per frame of the range.
WriteResult writeTrc(const BvhFile& motion, const QString& fileName, const ExportOptions& options,
                     const Frame& frame);

// The storage file: time, the centre of mass, the extrapolated centre (in the frame's units),
// the margins, and every joint angle (degrees) of the analysis.
WriteResult writeMot(const MotionAnalysis& analysis, const QString& fileName, const Frame& frame);

} // namespace OpenSimFiles
