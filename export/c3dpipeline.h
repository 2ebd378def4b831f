#pragma once

#include "export/c3dpoint.h"
#include "export/c3dstream.h"
#include "model/bvhreadobserver.h"
#include "model/exportoptions.h"
#include "model/poseevaluator.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Writes a motion's C3D file while BvhReader is still reading it, on a thread of its own, so
// that the export's work overlaps the reading: the rows are posed by index as they arrive and
// their samples written block by block, never held whole. Give it the file's name and pass
// it to the BvhReader, then to C3DExport::exportMotion, which takes the file it began and
// finishes it. It writes the plain file only (every frame, the joints' names as labels, no
// events or other points); whatever is unusual about the file (rows before the hierarchy, a
// second hierarchy or MOTION section) makes it give up, and the export does it all itself.
class C3DPipeline : public BvhReadObserver
{
public:
    C3DPipeline() = default;
    ~C3DPipeline() override;
    C3DPipeline(const C3DPipeline&) = delete;
    C3DPipeline& operator=(const C3DPipeline&) = delete;

    // The file to write; without one the pipeline does nothing.
    void setOutput(const QString& fileName) { outputName = fileName; }
    // How the rows are posed and scaled (iPi Studio's convention and centimetres unless set);
    // set it before the rows start, and give the export the same.
    void setPosing(const PoseConvention& newConvention, double millimetres)
    {
        convention = newConvention;
        millimetresPerUnit = millimetres;
    }

    void motionStarted(const BvhFile& file, qsizetype possibleRows) override;
    void rowsAppended(const BvhFile& file) override;
    void rowsMoving(const BvhFile& file) override;
    // Stops the conversion: the export converts the rows still left, on every core.
    void readingDone(const BvhFile& file) override;

    // What the pipeline wrote: the file, open, holding the samples of the motion's first
    // `frames` rows.
    struct Written
    {
        std::unique_ptr<C3DStream> stream;
        int frames = 0;
    };
    // Call once the reading is over. Stops the conversion and, when what it wrote is the file
    // `fileName` of every row of `motion` as it is now, posed and scaled as `options` say,
    // hands it over; else gives it up (the old file stays) and returns no stream.
    Written takeWritten(const BvhFile& motion, const ExportOptions& options,
                        const QString& fileName);

private:
    void convert();
    void stop();

    // Reading thread only.
    QString outputName;
    PoseConvention convention;
    double millimetresPerUnit = 10.0;
    std::unique_ptr<PoseEvaluator> evaluator;
    int motionStarts = 0;
    bool usable = false;

    std::thread thread;
    std::mutex mutex;
    std::condition_variable rowsWaiting; // the reading thread told of rows, or stopping
    std::condition_variable caughtUp;    // the conversion thread finished what it was told of
    // Under mutex: the rows told of so far and where they are.
    const double* rows = nullptr;
    qsizetype channels = 0;
    int handedRows = 0;
    int convertedRows = 0;
    bool stopping = false;
    bool finished = false; // the conversion thread ended (stopped, or gave up)

    // The conversion thread's until stop() returns.
    std::unique_ptr<C3DStream> stream;
    std::atomic<bool> gaveUp{false};
};
