#pragma once

#include "model/framerange.h"
#include "model/poseconvention.h"

#include <QList>

class BvhFile;

// What an export takes besides the motion's rows: the frames, the joints (one flag per joint of
// getAllJoints(); a joint past the list is not exported), how the rows become poses, and the
// length unit of the rows for outputs that declare theirs in millimetres (the C3D file). Tables
// that are not per joint ignore the selection. An export never reads any of this from the
// motion or its joints, nor changes them.
struct ExportOptions
{
    FrameRange range;
    QList<bool> jointSelection;
    PoseConvention convention;
    double millimetresPerUnit = 10.0; // centimetres

    // Every frame and every joint of `motion`, posed under `convention`.
    static ExportOptions wholeMotion(const BvhFile& motion, const PoseConvention& convention);
};
