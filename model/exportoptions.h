#pragma once

#include "model/framerange.h"

#include <QList>

class BvhFile;

// What a table export takes from the motion: the frames and the joints (one flag per joint of
// getAllJoints(); a joint past the list is not exported). Tables that are not per joint ignore
// the selection. The poses follow the motion's rotation convention, which its joints carry.
struct ExportOptions
{
    FrameRange range;
    QList<bool> jointSelection;

    // Every frame and every joint of `motion`.
    static ExportOptions wholeMotion(const BvhFile& motion);
};
