#pragma once

#include "model/writeresult.h"

#include <QString>

class BvhFile;
struct GaitCycles;
struct GaitReference;
struct GaitScores;
struct MotionAnalysis;
struct MotionSetup;
struct Strides;
struct Sway;

// The gait report of one motion as a PDF file, written by Qt's own PDF writer: on the first
// page the skeleton at a chosen frame (from the side and from the front, with its centre of
// mass) and the spatiotemporal table (mean ± SD, left and right, and the symmetry index); on
// the second the centre of mass over time, the paths of the centre and the extrapolated centre
// on the floor with the foot strikes, and the margins of stability; on the third the joint
// angles, the centre and the margin over the gait cycle (mean ± SD, left and right, the mean
// toe off marked, a reference's mean ± 1 SD shaded grey behind them). Against a reference, a
// page of the Movement Analysis Profile follows: a bar per variable and side, and the profile
// scores. A standing trial's third page is its balance instead: the sway path on the floor
// with its 95 % ellipse, its two components over time, and the sway measures. Needs a
// QGuiApplication (fonts), which may run on the offscreen platform.
namespace GaitReport {

struct Content
{
    const BvhFile* motion = nullptr;
    const MotionSetup* setup = nullptr;
    const MotionAnalysis* analysis = nullptr;
    const Strides* strides = nullptr;
    const GaitCycles* cycles = nullptr;
    const GaitReference* reference = nullptr; // optional: bands behind the cycle curves
    const GaitScores* scores = nullptr;       // optional: the Movement Analysis Profile page
    const Sway* sway = nullptr;               // optional: a standing trial's balance page
    QString source;                           // the motion's file, as the title names it
    int frame = -1; // the skeleton's frame; -1: the first foot strike of a stride, or the first
};

// The frame the skeleton is drawn at when none is chosen.
int defaultFrame(const MotionAnalysis& analysis, const Strides& strides);

// Writes the report; the old file is kept when the new one cannot be written whole.
WriteResult write(const QString& fileName, const Content& content);

} // namespace GaitReport
