#include "c3dfile.h"

#include "export/c3dlog.h"

#include <QDebug>
#include <QSaveFile>
#include <QSysInfo>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(c3dLog, "kinovane.c3d", QtInfoMsg)

static constexpr int blockSize = 512;
// Zero bytes kept after the last record: an empty name, group 0 and a zero nextEntry, which
// every reader takes as the end of the section.
static constexpr int terminatorSize = 4;

static constexpr int pointGroup = 1;
static constexpr int analogGroup = 2;
static constexpr int trialGroup = 3;
static constexpr int eventGroup = 4;

C3DFile::C3DFile() = default;

qsizetype C3DFile::getFrameCount() const
{
    return usedPoints > 0 ? qsizetype(points.size()) / usedPoints : 0;
}

void C3DFile::addPointText(const QString& name, const QStringList& values)
{
    parameters.append(C3DParameter::characters(name, pointGroup, values));
}

void C3DFile::setupPointGroup(int pointCount, int frameRate, const QString& units,
                              const QStringList& labels)
{
    usedPoints = std::max(pointCount, 0);
    setupPointGroup(pointCount, getFrameCount(), frameRate, units, labels);
}

void C3DFile::setupPointGroup(int pointCount, qsizetype frameCount, int frameRate,
                              const QString& units, const QStringList& labels)
{
    usedPoints = std::max(pointCount, 0);
    const int shortFrameCount = int(std::min<qsizetype>(frameCount, maxShortFrames));

    header = C3DHeader();
    header.pointCount = quint16(usedPoints);
    header.frameRate = float(frameRate);
    header.lastFrame = quint16(shortFrameCount);
    parameterHeader = {0, 0, 9, 84};
    groups.clear();
    parameters.clear();

    groups.append(C3DGroup(QStringLiteral("POINT"), -pointGroup));
    parameters.append(C3DParameter::integer(QStringLiteral("USED"), pointGroup, usedPoints));
    parameters.append(C3DParameter::floating(QStringLiteral("SCALE"), pointGroup, -1.0f));
    parameters.append(C3DParameter::floating(QStringLiteral("RATE"), pointGroup, float(frameRate)));
    parameters.append(C3DParameter::integer(QStringLiteral("DATA_START"), pointGroup, 12));
    parameters.append(C3DParameter::integer(QStringLiteral("FRAMES"), pointGroup, shortFrameCount));
    parameters.append(C3DParameter::characters(QStringLiteral("UNITS"), pointGroup, {units}));
    if (labels.isEmpty()) {
        QStringList numbered;
        numbered.reserve(usedPoints);
        for (int i = 1; i <= usedPoints; ++i)
            numbered.append(QStringLiteral("BodyPart") + QString::number(i));
        appendLabels(pointGroup, numbered);
    } else {
        appendLabels(pointGroup, labels);
    }
    if (frameCount > maxShortFrames)
        parameters.append(
            C3DParameter::floating(QStringLiteral("LONG_FRAMES"), pointGroup, float(frameCount)));

    // Some readers insist on ANALOG:USED even in files without analog data.
    groups.append(C3DGroup(QStringLiteral("ANALOG"), -analogGroup));
    parameters.append(C3DParameter::integer(QStringLiteral("USED"), analogGroup, 0));

    if (frameCount > maxShortFrames)
        appendLongFrameCount(frameCount);

    for (const C3DParameter& parameter : std::as_const(parameters)) {
        if (parameter.name == "UNITS")
            parameter.printParameter();
    }
}

// LABELS, DESCRIPTIONS, then LABELS2, DESCRIPTIONS2 and so on, as many as the labels need.
// A parameter takes fewer than labelsPerParameter labels when long labels would overflow its
// 16-bit nextEntry.
void C3DFile::appendLabels(int group, const QStringList& labels)
{
    qsizetype longest = 1;
    for (const QString& label : labels)
        longest = std::max(longest, label.size());
    longest = std::min<qsizetype>(longest, C3DParameter::maxDimension);
    const qsizetype overhead = 2 + 1 + 1 + 2 + 1; // nextEntry, type, count, two dimensions, 0
    const qsizetype perParameter =
        std::min<qsizetype>(labelsPerParameter, (C3DParameter::maxNextEntry - overhead) / longest);

    qsizetype first = 0;
    int number = 1;
    do {
        const QString suffix = number == 1 ? QString() : QString::number(number);
        parameters.append(C3DParameter::characters(QStringLiteral("LABELS") + suffix, group,
                                                   labels.mid(first, perParameter)));
        parameters.append(
            C3DParameter::characters(QStringLiteral("DESCRIPTIONS") + suffix, group, {}));
        first += perParameter;
        ++number;
    } while (first < labels.size());
}

// The true frame count of a motion longer than the 16-bit fields allow, as readers look for
// it: TRIAL:ACTUAL_START_FIELD and ACTUAL_END_FIELD, each two 16-bit words, low word first.
void C3DFile::appendLongFrameCount(qsizetype frameCount)
{
    const quint32 last = quint32(std::min<qsizetype>(frameCount, 0xFFFFFFFF));
    groups.append(C3DGroup(QStringLiteral("TRIAL"), -trialGroup));
    parameters.append(
        C3DParameter::integers(QStringLiteral("ACTUAL_START_FIELD"), trialGroup, {1, 0}));
    parameters.append(C3DParameter::integers(QStringLiteral("ACTUAL_END_FIELD"), trialGroup,
                                             {qint16(last & 0xFFFF), qint16(last >> 16)}));
}

void C3DFile::addEvents(const QList<C3DEvent>& events)
{
    if (events.isEmpty())
        return;
    const QList<C3DEvent> kept =
        events.first(std::min<qsizetype>(events.size(), C3DParameter::maxDimension));
    QStringList contexts, labels;
    QList<float> times;
    for (const C3DEvent& event : kept) {
        contexts.append(event.context);
        labels.append(event.label);
        const double minutes = std::floor(event.time / 60.0);
        times.append(float(minutes));
        times.append(float(event.time - 60.0 * minutes));
    }
    groups.append(C3DGroup(QStringLiteral("EVENT"), -eventGroup));
    parameters.append(C3DParameter::integer(QStringLiteral("USED"), eventGroup, int(kept.size())));
    parameters.append(C3DParameter::characters(QStringLiteral("CONTEXTS"), eventGroup, contexts));
    parameters.append(C3DParameter::characters(QStringLiteral("LABELS"), eventGroup, labels));
    parameters.append(C3DParameter::floatTable(QStringLiteral("TIMES"), eventGroup, times, 2));
}

int C3DFile::getParameterBlockCount() const
{
    qsizetype bytes = 4 + terminatorSize;
    for (const C3DGroup& group : groups)
        bytes += 2 + group.name.size() + 3 + group.description.size();
    for (const C3DParameter& parameter : parameters)
        bytes += parameter.getRecordSize();
    const qsizetype blocks = (bytes + blockSize - 1) / blockSize;
    return int(std::clamp<qsizetype>(blocks, minParameterBlocks, maxParameterBlocks + 1));
}

void C3DFile::setIntegerParameter(const QByteArray& name, int group, int value)
{
    for (C3DParameter& parameter : parameters) {
        if (parameter.name == name && parameter.groupId == group &&
            parameter.dataType == C3DParameter::Integer && parameter.intData.size() == 1)
            parameter.intData[0] = qint16(value);
    }
}

// The header block and the parameter section, each group followed by its own parameters
// (and parameters of no listed group at the end).
QByteArray C3DFile::buildHeadBlocks(int parameterBlocks)
{
    QByteArray head((1 + parameterBlocks) * blockSize, '\0');
    header.writeTo(head.data());
    const int parameterStart = ((header.parameterBlock & 15) - 1) * blockSize;
    qCDebug(c3dLog) << "Writing parameter header at" << parameterStart;
    std::copy(parameterHeader.begin(), parameterHeader.end(), head.begin() + parameterStart);

    int position = parameterStart + 4;
    QList<bool> written(parameters.size(), false);
    const auto writeParameter = [&](qsizetype index) {
        C3DParameter& parameter = parameters[index];
        parameter.updateLengths();
        qCDebug(c3dLog) << "C3D PARAMETER at" << position << "Next Entry" << parameter.nextEntry;
        parameter.writeTo(head.data() + position);
        position += parameter.getRecordSize();
        written[index] = true;
    };
    for (C3DGroup& group : groups) {
        group.updateLengths();
        qCDebug(c3dLog) << "C3D GROUP at" << position << "Next Entry" << group.nextEntry;
        group.writeTo(head.data() + position);
        position += group.getRecordSize();
        for (qsizetype i = 0; i < parameters.size(); ++i) {
            if (!written[i] && parameters[i].groupId == -group.groupId)
                writeParameter(i);
        }
    }
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        if (!written[i])
            writeParameter(i);
    }
    return head;
}

WriteResult C3DFile::buildHead(const QString& fileName, QByteArray& head)
{
    for (const C3DParameter& parameter : std::as_const(parameters)) {
        if (parameter.calculateNextEntry() > C3DParameter::maxNextEntry)
            return WriteResult::failure(
                fileName, QStringLiteral("The C3D parameter %1 needs %2 bytes, but a record "
                                         "holds at most %3.")
                              .arg(QString::fromLatin1(parameter.name))
                              .arg(parameter.calculateNextEntry())
                              .arg(C3DParameter::maxNextEntry));
    }
    if (usedPoints > 0xFFFF)
        return WriteResult::failure(
            fileName, QStringLiteral("The motion has %1 points per frame, but a C3D file holds "
                                     "at most 65535.")
                          .arg(usedPoints));
    const int parameterBlocks = getParameterBlockCount();
    if (parameterBlocks > maxParameterBlocks)
        return WriteResult::failure(
            fileName, QStringLiteral("The C3D parameters need more than %1 blocks of 512 "
                                     "bytes, the most a C3D file can hold.")
                          .arg(maxParameterBlocks));

    parameterHeader[2] = quint8(parameterBlocks);
    header.dataBlock = quint16(2 + parameterBlocks);
    setIntegerParameter("DATA_START", pointGroup, header.dataBlock);
    head = buildHeadBlocks(parameterBlocks);
    return WriteResult::success(fileName);
}

bool C3DFile::writeSamples(QIODevice& device, const C3DPoint* samples, qsizetype count)
{
    // On a little-endian machine the samples in memory are already the file's bytes and go
    // out as they are; elsewhere through a small buffer that orders their bytes.
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        static_assert(sizeof(C3DPoint) == C3DPoint::size);
        const qint64 bytes = qint64(count) * C3DPoint::size;
        return bytes <= 0 || device.write(reinterpret_cast<const char*>(samples), bytes) == bytes;
    } else {
        constexpr qsizetype pointsPerChunk = 4096;
        char chunk[pointsPerChunk * C3DPoint::size];
        for (qsizetype first = 0; first < count; first += pointsPerChunk) {
            const qsizetype chunkCount = std::min(pointsPerChunk, count - first);
            for (qsizetype i = 0; i < chunkCount; ++i)
                samples[first + i].writeTo(chunk + i * C3DPoint::size);
            const qint64 bytes = qint64(chunkCount) * C3DPoint::size;
            if (device.write(chunk, bytes) != bytes)
                return false;
        }
        return true;
    }
}

WriteResult C3DFile::writeC3D(const QString& fileName)
{
    QByteArray head;
    const WriteResult built = buildHead(fileName, head);
    if (!built.ok)
        return built;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, file.errorString());
    const bool failed = file.write(head) != head.size() ||
                        !writeSamples(file, points.data(), qsizetype(points.size()));
    return WriteResult::commit(file, failed);
}
