#pragma once

#include "export/c3dpoint.h"
#include "model/bvhreadobserver.h"
#include "model/exportoptions.h"
#include "model/poseevaluator.h"

#include <QList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class C3DFile;

// Converts the rows of a motion to C3D samples while BvhReader is still reading them, on a
// thread of its own, so that the core the reader leaves idle does the export's work. Pass it
// to the BvhReader, then to C3DExport::exportMotion, which takes what it converted and
// does the rest. Whatever is unusual about the file (rows before the hierarchy, a second
// hierarchy or MOTION section) makes it give up, and the export converts every row itself.
class C3DPipeline : public BvhReadObserver
{
public:
    C3DPipeline() = default;
    ~C3DPipeline() override;
    C3DPipeline(const C3DPipeline&) = delete;
    C3DPipeline& operator=(const C3DPipeline&) = delete;

    // How the rows are posed and scaled (iPi Studio's convention and centimetres unless set);
    // set it before the rows start, and give the export the same.
    void setPosing(const PoseConvention& newConvention, double millimetres)
    {
        convention = newConvention;
        millimetresPerUnit = millimetres;
    }

    void motionStarted(const BvhFile& file, qsizetype possibleRows) override;
    void rowsAppended(const BvhFile& file) override;

    // Call once the reading is over. Stops the conversion and, when its samples are those of
    // `motion`'s first rows as they are now, posed and scaled as `options` say, moves them into
    // file.points (which must be empty); returns how many frames that is, 0 when nothing is
    // usable (as when they were scaled for another unit).
    int takeConverted(const BvhFile& motion, const ExportOptions& options, C3DFile& file);

private:
    void convert();
    void stop();

    // Reading thread only.
    PoseConvention convention;
    double millimetresPerUnit = 10.0;
    std::unique_ptr<PoseEvaluator> evaluator;
    int motionStarts = 0;
    int handedRows = 0;
    bool usable = false;

    std::thread thread;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::condition_variable rowsWaiting;
    std::vector<QList<double>> pending; // rows handed over, not yet taken; under mutex

    // The conversion thread's until stop() returns.
    std::vector<C3DPoint> points;
    int convertedRows = 0;
};
