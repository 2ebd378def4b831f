#pragma once

#include <algorithm>

// Frames first..last of a motion, both included. Every command that works on part of a motion
// (saving, the tables, interpolation, the converter's --range) takes its frames as one of
// these; a range with last < first holds no frame.
struct FrameRange
{
    int first = 0;
    int last = -1;

    // Every row of a motion of `rowCount` rows.
    static FrameRange all(int rowCount) { return {0, rowCount - 1}; }

    // The part of this range that a motion of `rowCount` rows holds.
    FrameRange clampedTo(int rowCount) const
    {
        return {std::max(first, 0), std::min(last, rowCount - 1)};
    }
    bool isEmpty() const { return last < first; }
    int count() const { return isEmpty() ? 0 : last - first + 1; }
    bool operator==(const FrameRange&) const = default;
};
