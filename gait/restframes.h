#pragma once

#include "model/framerange.h"
#include "model/poseconvention.h"

#include <QString>

class BvhFile;

// Rest and calibration poses at the ends of a recording: frames the body did not move
// through. Many exports begin (or end) with one, a row with every rotation 0, or a pose held
// and then left by a jump to where the motion starts. Analysed as frames of the motion they
// make a speed spike and angles near 0 that no body showed.
struct RestFrames
{
    // The frames between the rest poses: the whole motion when it has none.
    FrameRange moving;

    // The most a rest pose may take of each end of a motion, as a share of its frames.
    static constexpr double longestShare = 0.25;
    // A jump moves some joint farther in one frame than this share of the stature, and farther
    // than jumpRatio times the median step of the quarter second after it.
    static constexpr double jumpShare = 0.1;
    static constexpr double jumpRatio = 5.0;
    // A held pose moves no joint farther than this share of the stature in a frame, and is
    // left within this many seconds (a motion held longer, a person standing still, is looked
    // at no further).
    static constexpr double heldShare = 0.01;
    static constexpr double longestHeldSeconds = 10.0;

    // The rest poses of `motion` posed under `convention`; `stature`, in the motion's unit,
    // sizes what counts as a jump.
    static RestFrames of(const BvhFile& motion, const PoseConvention& convention, double stature);

    // The frames of `range` to analyse: those between the rest poses, or all of `range` when
    // nothing else would be left.
    FrameRange trim(FrameRange range) const;
    // "frame 0 is a rest pose; analysed frames 1 to 343": what trim() left out of `range`, and
    // what it kept; empty when it left out nothing.
    QString describe(FrameRange range) const;
};
