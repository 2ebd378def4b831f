#include "frameblocks.h"

#include <algorithm>
#include <system_error>
#include <thread>

namespace FrameBlocks {

// Below this many frames a block is not split: a thread start costs about as much as
// evaluating a few dozen poses.
static constexpr int minimumSplitFrames = 64;
static constexpr int targetBlockCount = 100;
static constexpr int minimumBlockSize = 256;

int blockSize(int frameCount)
{
    return std::max(minimumBlockSize, frameCount / targetBlockCount + 1);
}

void computeBlock(int first, int stop, const std::function<void(int, int, int)>& compute)
{
    if (stop - first < minimumSplitFrames) {
        compute(first, stop, 0);
        return;
    }
    const int middle = first + (stop - first) / 2;
    std::thread helper;
    try {
        helper = std::thread(compute, middle, stop, 1);
    } catch (const std::system_error&) {
        // No thread to be had (a process at its limit): the calling thread does it all.
        compute(first, stop, 0);
        return;
    }
    compute(first, middle, 0);
    helper.join();
}

} // namespace FrameBlocks
