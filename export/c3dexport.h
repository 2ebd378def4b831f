#pragma once

#include "export/c3dfile.h"
#include "model/bvhfile.h"
#include "model/progresssink.h"

#include <QList>
#include <QString>

class C3DPipeline;

// The one C3D export of a motion, used by the window's C3D command and by the command-line
// conversion alike.
namespace C3DExport {

// Used when the motion's frame time gives no rate (zero, negative, not finite, or so small
// that the rate overflows): the rate a new C3D header declares.
inline constexpr int fallbackFrameRate = 30;

// The integer part of 1 / frameTime + 0.5, computed in double precision; fallbackFrameRate
// when that is not a finite number in the int range.
int frameRate(double frameTime);

// Writes the absolute positions of every joint (End Sites included, in getAllJoints() order)
// in every frame as a C3D file, converted as C3DAxes says for a motion whose length unit is
// `millimetresPerUnit` millimetres (10 for centimetres) and declared as millimetres; the
// joint names are the labels. Reads the frame rows and leaves the motion as it was. Reports
// each frame to `progress` (which may
// be null) before converting it and stops after a frame once the sink is canceled; the frames
// converted so far are still written.
// With a `pipeline` that was given to the BvhReader of the motion, the frames it converted while
// the file was read are taken from it, and the result is the same, byte for byte.
// `events` go to the EVENT group (C3DFile::addEvents).
WriteResult exportMotion(const BvhFile& motion, const QString& fileName, ProgressSink* progress,
                         C3DPipeline* pipeline = nullptr, double millimetresPerUnit = 10.0,
                         const QList<C3DEvent>& events = {});

} // namespace C3DExport
