#include "frameblocks.h"

#include "model/bvhfile.h"
#include "model/poseevaluator.h"
#include "model/threadstart.h"

#include <array>
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
    // Without a helper thread the calling thread does both halves.
    std::thread helper = ThreadStart::startOrRun([&] { compute(middle, stop, 1); });
    compute(first, middle, 0);
    if (helper.joinable())
        helper.join();
}

} // namespace FrameBlocks

namespace FrameBlocks {

void poseFrames(const BvhFile& motion, const FrameRange& frames, const PoseEvaluator& pose,
                const std::function<void(int, int, const PoseEvaluator&)>& use,
                const std::function<bool(int)>& blockDone)
{
    std::array<PoseEvaluator, laneCount> lanes{pose, pose};
    const int size = blockSize(frames.count());
    for (int block = frames.first; block <= frames.last; block += size) {
        const int stop = std::min(frames.last + 1, block + size);
        computeBlock(block, stop, [&](int first, int blockStop, int lane) {
            PoseEvaluator& evaluator = lanes[size_t(lane)];
            for (int frame = first; frame < blockStop; ++frame) {
                const std::span<const double> row = motion.frames[frame];
                evaluator.evaluateRow(row);
                use(frame, lane, evaluator);
            }
        });
        if (!blockDone(stop))
            return;
    }
}

} // namespace FrameBlocks
