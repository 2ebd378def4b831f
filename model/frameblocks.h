#pragma once

#include "model/framerange.h"

#include <functional>

class BvhFile;
class PoseEvaluator;

// The exports and the analysis pose their frames in blocks, each block shared by two threads,
// and report progress, test for cancel and write output between blocks on the calling
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

// The one posing loop: evaluates the rows of `frames` block by block, each lane with its own
// copy of `pose`, and calls use(frame, lane, pose) on the thread that posed the frame, with
// the pose of that row. After each block, on the calling thread, blockDone(stop) hears that
// every frame before `stop` is done, and stops the loop by returning false.
void poseFrames(const BvhFile& motion, const FrameRange& frames, const PoseEvaluator& pose,
                const std::function<void(int frame, int lane, const PoseEvaluator& pose)>& use,
                const std::function<bool(int stop)>& blockDone);

} // namespace FrameBlocks
