#pragma once

#include "model/csvwriter.h"
#include "model/framerange.h"
#include "model/progresssink.h"
#include "model/writeresult.h"

#include <QString>

// The CSV tables of one row per frame (the joint tables, the centre of mass, the analysis, the
// batch run's foot tables) written by one loop: the header line, then for each frame of the
// range its time in seconds and the cells the caller adds.
namespace FrameTable {

enum class TimeColumn
{
    // Frame number times the frame time: a table of part of a motion carries the times the
    // whole motion gives those frames.
    FrameTimesFrameTime,
    // The first frame's time, then the frame time added once per row: the batch run's foot
    // tables have always been written so, and scripts compare them digit for digit.
    RunningSum
};

struct Format
{
    QString header;    // the first line, without its line end
    FrameRange frames; // rows of the motion, both ends included
    double frameTime = 0.0;
    int significantDigits = 6;
    TimeColumn time = TimeColumn::FrameTimesFrameTime;
    QString progressTitle; // for the progress display; empty leaves it unset
    QString progressLabel;
};

// Writes the table: `addCells(writer, frame)` adds the cells after a frame's time, each one
// starting with its separator (CsvWriter::addNumberCell). Progress runs 0..100 in steps of ten;
// a cancel keeps the rows written so far. The old file is kept when the new one cannot be
// written whole, and a frame giving a number that is not finite fails the table, named.
template <typename AddCells>
WriteResult write(const QString& fileName, const Format& format, ProgressSink* progress,
                  AddCells&& addCells)
{
    CsvWriter writer(fileName, format.significantDigits);
    if (!writer.open())
        return writer.finish();
    writer.addText(format.header);
    writer.endLine();
    if (progress)
        progress->begin(format.progressTitle, format.progressLabel, 100);
    const FrameRange& frames = format.frames;
    PercentProgress percent(progress, frames.first, frames.last + 1);
    double runningTime = double(frames.first) * format.frameTime;
    for (int frame = frames.first; frame <= frames.last; ++frame) {
        if (percent.advance(frame))
            break;
        if (format.time == TimeColumn::RunningSum) {
            writer.addNumber(runningTime);
            runningTime += format.frameTime;
        } else {
            writer.addNumber(double(frame) * format.frameTime);
        }
        addCells(writer, frame);
        writer.endLine();
        if (writer.hasNonFiniteNumber()) [[unlikely]] {
            if (progress)
                progress->end();
            return WriteResult::failure(
                fileName, QStringLiteral("frame %1 gives a value that is not a finite number; "
                                         "the table was not written")
                              .arg(frame));
        }
    }
    if (progress)
        progress->end();
    return writer.finish();
}

} // namespace FrameTable
