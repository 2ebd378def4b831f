#pragma once

#include "model/framerange.h"
#include "model/rotationorder.h"

#include <QList>

class BvhFile;

// What a table export takes from the motion: the frames, the joints (one flag per joint of
// getAllJoints(); a joint past the list is not exported) and the rotation convention its poses
// are evaluated in. Tables that are not per joint ignore the selection.
struct ExportOptions
{
    FrameRange range;
    QList<bool> jointSelection;
    RotationOrder rotationOrder = RotationOrder::Fixed;

    // Every frame and every joint of `motion`, in its rotation convention.
    static ExportOptions wholeMotion(const BvhFile& motion);
};
