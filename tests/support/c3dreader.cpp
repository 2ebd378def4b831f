#include "support/c3dreader.h"

#include <QFile>

#include <cstdlib>

#include <cstring>

namespace TestSupport {

static int byteAt(const QByteArray& bytes, qsizetype position)
{
    return int(uchar(bytes[position]));
}

static int signedByteAt(const QByteArray& bytes, qsizetype position)
{
    return int(qint8(bytes[position]));
}

static int wordAt(const QByteArray& bytes, qsizetype position)
{
    return byteAt(bytes, position) | byteAt(bytes, position + 1) << 8;
}

static float floatAt(const QByteArray& bytes, qsizetype position)
{
    const quint32 bits = quint32(wordAt(bytes, position)) | quint32(wordAt(bytes, position + 2))
                                                                << 16;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

int C3DReader::Parameter::elementCount() const
{
    int count = 1;
    for (int dimension : dimensions)
        count *= dimension;
    return count;
}

int C3DReader::Parameter::word(int index) const
{
    return wordAt(data, 2 * index);
}

float C3DReader::Parameter::real(int index) const
{
    return floatAt(data, 4 * index);
}

QStringList C3DReader::Parameter::strings() const
{
    QStringList result;
    const int length = dimensions.value(0);
    if (length == 0)
        return result;
    for (int start = 0; start + length <= data.size(); start += length) {
        QByteArray text = data.mid(start, length);
        while (text.endsWith(' '))
            text.chop(1);
        result.append(QString::fromLatin1(text));
    }
    return result;
}

QString C3DReader::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
    return read(file.readAll());
}

const C3DReader::Parameter* C3DReader::find(const QString& group, const QString& name) const
{
    for (const Parameter& parameter : parameters) {
        if (parameter.group == group && parameter.name == name)
            return &parameter;
    }
    return nullptr;
}

QString C3DReader::read(const QByteArray& bytes)
{
    if (bytes.size() < 512)
        return QStringLiteral("the file is shorter than its header block");
    parameterBlock = byteAt(bytes, 0);
    key = byteAt(bytes, 1);
    if (key != 0x50)
        return QStringLiteral("byte 1 is %1, not the C3D key 0x50").arg(key);
    headerPointCount = wordAt(bytes, 2);
    analogCount = wordAt(bytes, 4);
    firstFrame = wordAt(bytes, 6);
    lastFrame = wordAt(bytes, 8);
    maxInterpolationGap = wordAt(bytes, 10);
    scale = floatAt(bytes, 12);
    dataBlock = wordAt(bytes, 16);
    frameRate = floatAt(bytes, 20);

    const qsizetype start = qsizetype(parameterBlock - 1) * 512;
    if (parameterBlock < 2 || start + 4 > bytes.size())
        return QStringLiteral("the parameter section (block %1) is outside the file")
            .arg(parameterBlock);
    parameterBlockCount = byteAt(bytes, start + 2);
    processorType = byteAt(bytes, start + 3);
    if (processorType != 84)
        return QStringLiteral("processor type %1 is not Intel (84)").arg(processorType);
    const qsizetype end = start + qsizetype(parameterBlockCount) * 512;
    if (end > bytes.size())
        return QStringLiteral("the parameter section runs past the end of the file");

    qsizetype position = start + 4;
    for (;;) {
        if (position + 2 > end)
            return QStringLiteral("a record at %1 starts past the parameter section").arg(position);
        const int nameLength = std::abs(signedByteAt(bytes, position));
        const int id = signedByteAt(bytes, position + 1);
        if (nameLength == 0)
            break;
        const qsizetype nextField = position + 2 + nameLength;
        if (nextField + 2 > end)
            return QStringLiteral("the record at %1 runs past the parameter section").arg(position);
        const QString name = QString::fromLatin1(bytes.mid(position + 2, nameLength));
        const int nextEntry = int(qint16(wordAt(bytes, nextField)));
        if (id < 0) {
            groups.append({-id, name, int(position)});
        } else {
            Parameter parameter;
            parameter.groupId = id;
            parameter.name = name;
            parameter.offset = int(position);
            qsizetype field = nextField + 2;
            parameter.type = signedByteAt(bytes, field);
            const int dimensionCount = byteAt(bytes, field + 1);
            field += 2;
            for (int d = 0; d < dimensionCount; ++d)
                parameter.dimensions.append(byteAt(bytes, field + d));
            field += dimensionCount;
            const qsizetype dataSize = qsizetype(std::abs(parameter.type)) *
                                       (dimensionCount ? parameter.elementCount() : 1);
            if (field + dataSize + 1 > end)
                return QStringLiteral("the data of %1 runs past the parameter section").arg(name);
            parameter.data = bytes.mid(field, dataSize);
            const int descriptionLength = byteAt(bytes, field + dataSize);
            const qsizetype recordEnd = field + dataSize + 1 + descriptionLength;
            if (nextEntry != 0 && nextField + nextEntry != recordEnd)
                return QStringLiteral("the next entry of %1 (%2) does not point past its "
                                      "contents")
                    .arg(name)
                    .arg(nextEntry);
            parameter.recordSize = int(recordEnd - position);
            parameters.append(parameter);
        }
        if (nextEntry == 0)
            break;
        if (nextEntry < 0)
            return QStringLiteral("negative next entry after %1").arg(name);
        position = nextField + nextEntry;
    }
    parameterEnd = int(position);
    for (Parameter& parameter : parameters) {
        for (const Group& group : std::as_const(groups)) {
            if (group.id == parameter.groupId)
                parameter.group = group.name;
        }
    }

    // Long files keep the true frame count outside the 16-bit header words.
    frameCount = qint64(lastFrame) - firstFrame + 1;
    if (const Parameter* endField =
            find(QStringLiteral("TRIAL"), QStringLiteral("ACTUAL_END_FIELD"));
        endField && endField->elementCount() == 2) {
        const Parameter* startField =
            find(QStringLiteral("TRIAL"), QStringLiteral("ACTUAL_START_FIELD"));
        const qint64 first =
            startField ? startField->word(0) | qint64(startField->word(1)) << 16 : 1;
        frameCount = (endField->word(0) | qint64(endField->word(1)) << 16) - first + 1;
    }
    pointCount = headerPointCount;
    if (const Parameter* used = find(QStringLiteral("POINT"), QStringLiteral("USED")))
        pointCount = used->word(0);
    for (int number = 1;; ++number) {
        const QString suffix = number == 1 ? QString() : QString::number(number);
        const Parameter* part = find(QStringLiteral("POINT"), QStringLiteral("LABELS") + suffix);
        if (!part)
            break;
        labels += part->strings();
    }
    if (labels.size() > pointCount)
        labels = labels.mid(0, pointCount);

    if (scale >= 0.0f)
        return QStringLiteral("integer samples are not supported");
    const qsizetype dataStart = qsizetype(dataBlock - 1) * 512;
    const qsizetype needed = frameCount * pointCount * 16;
    if (dataBlock < 2 || dataStart < end || dataStart + needed > bytes.size())
        return QStringLiteral("%1 frames of %2 points need %3 bytes from block %4; the file "
                              "has %5")
            .arg(frameCount)
            .arg(pointCount)
            .arg(needed)
            .arg(dataBlock)
            .arg(bytes.size());
    samples.resize(size_t(frameCount * pointCount));
    for (size_t i = 0; i < samples.size(); ++i) {
        const qsizetype at = dataStart + qsizetype(i) * 16;
        samples[i] = {floatAt(bytes, at), floatAt(bytes, at + 4), floatAt(bytes, at + 8),
                      floatAt(bytes, at + 12)};
    }
    return QString();
}

} // namespace TestSupport
