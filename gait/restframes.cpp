#include "restframes.h"

#include "model/bvhfile.h"
#include "model/motionsamples.h"
#include "model/poseevaluator.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// The farthest any joint moves from each frame to the next, from one end of a motion inwards,
// posed as they are asked for: a rest pose is found within a few frames.
class Steps
{
public:
    Steps(const BvhFile& motion, const PoseConvention& convention, bool fromStart)
        : motion(motion), pose(motion.root, convention), fromStart(fromStart)
    {
    }
    int available() const { return motion.rowCount() - 1; }
    // The step from the k-th frame from the end to the next; k < available().
    double operator[](int k)
    {
        while (int(steps.size()) <= k) {
            const int next = int(steps.size()) + (previous.empty() ? 0 : 1);
            const std::span<const double> row =
                motion.frames[fromStart ? next : motion.rowCount() - 1 - next];
            pose.evaluateRow(row);
            const std::vector<Vector3f>& places = pose.getPositions();
            if (!previous.empty()) {
                double farthest = 0.0;
                for (size_t j = 0; j < places.size(); ++j)
                    farthest = std::max(farthest, double((places[j] - previous[j]).norm()));
                steps.push_back(farthest);
            }
            previous = places;
        }
        return steps[size_t(k)];
    }

private:
    const BvhFile& motion;
    PoseEvaluator pose;
    bool fromStart;
    std::vector<Vector3f> previous;
    std::vector<double> steps;
};

// How many frames at one end of the motion are rest poses: rows with every rotation 0, and
// poses held (perhaps for a single frame) and left by a jump, one after another.
int restAtEnd(const BvhFile& motion, const PoseConvention& convention, double stature, bool atStart)
{
    const int n = motion.rowCount();
    const int longest = int(double(n) * RestFrames::longestShare);
    if (longest < 1)
        return 0;
    const std::vector<qsizetype> rotations = MotionSamples::rotationColumns(motion);
    const auto isZero = [&](int k) {
        return MotionSamples::isRestRow(motion.frames[atStart ? k : n - 1 - k], rotations);
    };
    const double rate = motion.frameTime > 0 ? 1.0 / motion.frameTime : 0.0;
    const int after = int(std::clamp(0.25 * rate, 3.0, double(n)));
    const int held = int(std::clamp(RestFrames::longestHeldSeconds * rate, 1.0, double(longest)));
    const bool sized = stature > 0 && std::isfinite(stature);
    Steps steps(motion, convention, atStart);
    int rest = 0;
    for (;;) {
        int zero = rest;
        while (zero < n && isZero(zero))
            ++zero;
        // A motion that is mostly such rows (or has no rotation at all) shows its rest pose
        // on purpose.
        if (zero > longest)
            return 0;
        int jump = rest;
        for (int k = rest; sized && k < rest + held && k < longest && k < steps.available(); ++k) {
            if (steps[k] > RestFrames::jumpShare * stature) {
                std::vector<double> following;
                for (int m = k + 1; m <= k + after && m < steps.available(); ++m)
                    following.push_back(steps[m]);
                if (!following.empty() &&
                    steps[k] > RestFrames::jumpRatio * MotionSamples::median(following))
                    jump = k + 1;
                break;
            }
            if (!(steps[k] <= RestFrames::heldShare * stature) && k >= zero)
                break; // the body moves: no pose is held here
        }
        const int next = std::max(zero, jump);
        if (next == rest || next > longest)
            return rest;
        rest = next;
    }
}

QString restText(int first, int last)
{
    return first == last ? QStringLiteral("frame %1 is a rest pose").arg(first)
                         : QStringLiteral("frames %1 to %2 are a rest pose").arg(first).arg(last);
}

} // namespace

RestFrames RestFrames::of(const BvhFile& motion, const PoseConvention& convention, double stature)
{
    const int rowCount = motion.rowCount();
    RestFrames result{FrameRange::all(rowCount)};
    if (!motion.root || rowCount < 3)
        return result;
    const FrameRange moving{restAtEnd(motion, convention, stature, true),
                            rowCount - 1 - restAtEnd(motion, convention, stature, false)};
    if (!moving.isEmpty())
        result.moving = moving;
    return result;
}

FrameRange RestFrames::trim(FrameRange range) const
{
    const FrameRange kept{std::max(range.first, moving.first), std::min(range.last, moving.last)};
    return kept.isEmpty() ? range : kept;
}

QString RestFrames::describe(FrameRange range) const
{
    const FrameRange kept = trim(range);
    if (kept == range)
        return {};
    QStringList parts;
    if (kept.first > range.first)
        parts.append(restText(range.first, kept.first - 1));
    if (kept.last < range.last)
        parts.append(restText(kept.last + 1, range.last));
    return QStringLiteral("%1; analysed frames %2 to %3")
        .arg(parts.join(QStringLiteral(", ")))
        .arg(kept.first)
        .arg(kept.last);
}
