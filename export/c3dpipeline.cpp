#include "c3dpipeline.h"

#include "export/c3dfile.h"
#include "export/c3dsamples.h"
#include "model/bvhfile.h"

#include <system_error>

C3DPipeline::~C3DPipeline()
{
    stop();
}

void C3DPipeline::motionStarted(const BvhFile& file, qsizetype possibleRows)
{
    ++motionStarts;
    // Only the plain case, one hierarchy followed by its rows, is worth the trouble.
    if (motionStarts > 1 || file.rowCount() != 0) {
        usable = false;
        stop();
        return;
    }
    evaluator = std::make_unique<PoseEvaluator>(file.root, convention);
    points.reserve(size_t(possibleRows) * size_t(evaluator->getJoints().size()));
    try {
        thread = std::thread(&C3DPipeline::convert, this);
    } catch (const std::system_error&) {
        return; // no thread to be had: the export does it all
    }
    usable = true;
}

void C3DPipeline::rowsAppended(const BvhFile& file)
{
    if (!usable)
        return;
    // Copies share the rows' storage, which appending to file.frames never moves.
    {
        const std::lock_guard lock(mutex);
        for (int row = handedRows; row < file.rowCount(); ++row)
            pending.push_back(file.frames[row]);
    }
    handedRows = file.rowCount();
    rowsWaiting.notify_one();
}

void C3DPipeline::convert()
{
    const qsizetype jointCount = evaluator->getJoints().size();
    PoseEvaluator pose = *evaluator;
    std::vector<QList<double>> batch;
    for (;;) {
        batch.clear();
        {
            std::unique_lock lock(mutex);
            rowsWaiting.wait(lock, [&] { return stopping || !pending.empty(); });
            if (stopping)
                return;
            batch.swap(pending);
        }
        for (const QList<double>& row : batch) {
            if (stopping.load(std::memory_order_relaxed))
                return;
            const size_t first = points.size();
            points.resize(first + size_t(jointCount));
            C3DSamples::convertRow(pose, row, millimetresPerUnit, points.data() + first);
            ++convertedRows;
        }
    }
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
    pending.clear();
}

int C3DPipeline::takeConverted(const BvhFile& motion, const ExportOptions& options, C3DFile& file)
{
    stop();
    // The rows and the skeleton must still be those the thread converted, posed and scaled
    // alike: a hierarchy read after the rows, or another convention or unit, would change the
    // samples.
    const bool valid = usable && motionStarts == 1 && handedRows == motion.rowCount() &&
                       convertedRows <= motion.rowCount() &&
                       options.millimetresPerUnit == millimetresPerUnit &&
                       PoseEvaluator(motion.root, options.convention).hasSameSetup(*evaluator);
    const int converted = valid ? convertedRows : 0;
    if (valid)
        file.points.swap(points);
    points = {};
    convertedRows = 0;
    usable = false;
    return converted;
}
