#include "c3dpipeline.h"

#include "export/c3dexport.h"
#include "export/c3dsamples.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/threadstart.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <vector>

// Frames posed and written at once.
static constexpr int blockFrames = 256;

C3DPipeline::~C3DPipeline()
{
    stop();
}

void C3DPipeline::motionStarted(const BvhFile& file, qsizetype possibleRows)
{
    ++motionStarts;
    // Only the plain case, one hierarchy followed by its rows, is worth the trouble.
    if (motionStarts > 1 || file.rowCount() != 0 || outputName.isEmpty()) {
        usable = false;
        stop();
        stream.reset();
        return;
    }
    evaluator = std::make_unique<PoseEvaluator>(file.root, convention);
    QStringList labels;
    for (const BvhJoint* joint : evaluator->getJoints())
        labels.append(joint->getName());
    const int pointCount = int(labels.size());
    const int rate = C3DExport::frameRate(file.frameTime);
    stream =
        std::make_unique<C3DStream>(outputName, pointCount, [=](C3DFile& head, qsizetype frames) {
            head.setupPointGroup(pointCount, frames, rate, QStringLiteral("mm "), labels);
        });
    if (!stream->open(possibleRows).ok) {
        stream.reset(); // the export says why
        return;
    }
    thread = ThreadStart::tryStart([this] { convert(); });
    if (!thread.joinable()) {
        stream.reset(); // no thread to be had: the export does it all
        return;
    }
    usable = true;
}

void C3DPipeline::rowsAppended(const BvhFile& file)
{
    if (!usable)
        return;
    {
        const std::lock_guard lock(mutex);
        rows = file.frames.constData();
        channels = file.frames.channelCount();
        handedRows = file.rowCount();
    }
    rowsWaiting.notify_one();
}

void C3DPipeline::rowsMoving(const BvhFile&)
{
    if (!usable)
        return;
    std::unique_lock lock(mutex);
    caughtUp.wait(lock, [&] { return finished || convertedRows >= handedRows; });
    rows = nullptr;
}

void C3DPipeline::readingDone(const BvhFile&)
{
    stop();
}

void C3DPipeline::convert()
{
    const qsizetype jointCount = evaluator->getJoints().size();
    PoseEvaluator pose = *evaluator;
    std::vector<C3DPoint> block(size_t(blockFrames) * size_t(jointCount));
    const auto end = [&] {
        {
            const std::lock_guard lock(mutex);
            finished = true;
        }
        caughtUp.notify_all();
    };
    for (;;) {
        const double* values = nullptr;
        qsizetype width = 0;
        int first = 0;
        int stop = 0;
        {
            std::unique_lock lock(mutex);
            rowsWaiting.wait(lock, [&] { return stopping || handedRows > convertedRows; });
            if (stopping)
                break;
            values = rows;
            width = channels;
            first = convertedRows;
            stop = std::min(handedRows, first + blockFrames);
        }
        for (int row = first; row < stop; ++row)
            C3DSamples::convertRow(pose, {values + row * width, size_t(width)}, millimetresPerUnit,
                                   block.data() + qsizetype(row - first) * jointCount);
        // A point that is not finite fails the export, which says where.
        const auto last = block.begin() + qsizetype(stop - first) * jointCount;
        const bool finite = std::all_of(block.begin(), last, [](const C3DPoint& p) {
            return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
        });
        if (!finite || !stream->write(block.data(), stop - first)) {
            gaveUp = true;
            break;
        }
        {
            const std::lock_guard lock(mutex);
            convertedRows = stop;
        }
        caughtUp.notify_all();
    }
    end();
}

void C3DPipeline::stop()
{
    {
        const std::lock_guard lock(mutex);
        stopping = true;
    }
    rowsWaiting.notify_one();
    if (thread.joinable())
        thread.join();
}

C3DPipeline::Written C3DPipeline::takeWritten(const BvhFile& motion, const ExportOptions& options,
                                              const QString& fileName)
{
    stop();
    // The rows and the skeleton must still be those the thread converted, posed and scaled
    // alike: a hierarchy read after the rows, or another convention or unit, would change the
    // samples.
    const FrameRange all = FrameRange::all(motion.rowCount());
    const bool valid = usable && !gaveUp && stream && motionStarts == 1 &&
                       handedRows == motion.rowCount() && fileName == stream->fileName() &&
                       options.range.clampedTo(motion.rowCount()) == all &&
                       options.millimetresPerUnit == millimetresPerUnit &&
                       PoseEvaluator(motion.root, options.convention).hasSameSetup(*evaluator);
    Written written;
    if (valid) {
        written.stream = std::move(stream);
        written.frames = convertedRows;
    }
    stream.reset();
    usable = false;
    return written;
}
