#pragma once

#include <functional>

// The C3D export computes the poses of its frames in blocks, each block shared by two threads,
// and reports progress, tests for cancel and writes output between blocks on the calling
// thread. The frames of a block must be independent of each other: each thread works on its
// own copy of whatever it changes.
namespace FrameBlocks {

// Threads that compute one block, the calling thread included; `lane` below counts them.
inline constexpr int laneCount = 2;

// Frames per block for a loop over `frameCount` frames: about a hundred blocks, so that the
// progress display moves smoothly, but never so few frames that starting the second thread
// costs more than it saves.
int blockSize(int frameCount);

// Runs compute(first, stop, lane) over the frames first..stop-1 split in two halves: lane 0
// on the calling thread, lane 1 on a second thread, and returns when both are done. A short
// range runs whole on the calling thread as lane 0.
void computeBlock(int first, int stop, const std::function<void(int, int, int)>& compute);

} // namespace FrameBlocks
