#pragma once

#include "export/c3dfile.h"
#include "model/writeresult.h"

#include <QSaveFile>
#include <QString>

#include <functional>
#include <memory>

// A C3D file written as its samples are made, so that no more than a block of them is ever
// held: the head (header and parameters) for the frames planned, then the samples frame by
// frame, then the head again for the frames there are, written over the first. An existing
// file is replaced only when finish() wrote everything; a stream destroyed before that leaves
// the old file as it was.
class C3DStream
{
public:
    // Sets up `file`'s head for a motion of `frameCount` frames (C3DFile::setupPointGroup and
    // what follows it); called for the planned count and again for the final one.
    using Describe = std::function<void(C3DFile& file, qsizetype frameCount)>;

    C3DStream(const QString& fileName, int pointsPerFrame, Describe describe);

    // Opens the file and writes the head for `plannedFrames`.
    WriteResult open(qsizetype plannedFrames);
    // Appends the samples of `frames` whole frames; false once a write failed.
    bool write(const C3DPoint* samples, qsizetype frames);

    // True when the head for `frames` frames takes the room the planned head took, so that
    // finish(frames) can write it over the first.
    bool fits(qsizetype frames) const;
    // Keeps the first `frames` frames written, writes their head and commits the file.
    WriteResult finish(qsizetype frames);

    const QString& fileName() const { return name; }

private:
    QString name;
    int pointCount;
    Describe describe;
    std::unique_ptr<QSaveFile> file;
    qsizetype headSize = 0;
    qsizetype written = 0;
    bool failed = false;
};
