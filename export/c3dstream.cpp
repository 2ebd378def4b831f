#include "c3dstream.h"

#include <algorithm>

C3DStream::C3DStream(const QString& fileName, int pointsPerFrame, Describe describe)
    : name(fileName), pointCount(pointsPerFrame), describe(std::move(describe))
{
}

WriteResult C3DStream::open(qsizetype plannedFrames)
{
    C3DFile head;
    describe(head, plannedFrames);
    QByteArray bytes;
    const WriteResult built = head.buildHead(name, bytes);
    if (!built.ok)
        return built;
    file = std::make_unique<QSaveFile>(name);
    if (!file->open(QIODevice::WriteOnly)) {
        const WriteResult refused = WriteResult::failure(name, file->errorString());
        file.reset();
        return refused;
    }
    headSize = bytes.size();
    written = 0;
    failed = file->write(bytes) != bytes.size();
    return WriteResult::success(name);
}

bool C3DStream::write(const C3DPoint* samples, qsizetype frames)
{
    if (!file || failed)
        return false;
    failed = !C3DFile::writeSamples(*file, samples, frames * pointCount);
    if (!failed)
        written += frames;
    return !failed;
}

bool C3DStream::fits(qsizetype frames) const
{
    C3DFile head;
    describe(head, frames);
    QByteArray bytes;
    return head.buildHead(name, bytes).ok && bytes.size() == headSize;
}

WriteResult C3DStream::finish(qsizetype frames)
{
    if (!file)
        return WriteResult::failure(name, QStringLiteral("The file was not opened."));
    C3DFile head;
    describe(head, frames);
    QByteArray bytes;
    const WriteResult built = head.buildHead(name, bytes);
    if (!built.ok) {
        file.reset(); // a save file not committed leaves the old file as it was
        return built;
    }
    frames = std::clamp<qsizetype>(frames, 0, written);
    const qint64 end = headSize + qint64(frames) * pointCount * C3DPoint::size;
    // A cancel may keep fewer frames than were already written.
    if (!failed && frames < written)
        failed = !file->resize(end);
    if (!failed)
        failed = bytes.size() != headSize || !file->seek(0) || file->write(bytes) != headSize ||
                 !file->seek(end);
    const WriteResult result = WriteResult::commit(*file, failed);
    file.reset();
    return result;
}
