#include "support/c3dreader.h"
#include "support/testsupport.h"

#include <QHash>

#include <bit>
#include <cstdlib>

namespace TestSupport {

// The little-endian unsigned number of `size` bytes at `at`.
static int number(const QByteArray& bytes, qsizetype at, int size = 2)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | uchar(bytes[at + i]);
    return int(value);
}
static float floatAt(const QByteArray& bytes, qsizetype at)
{
    return std::bit_cast<float>(quint32(number(bytes, at, 4)));
}

QString C3DReader::readFile(const QString& path)
{
    return read(TestSupport::readFile(path));
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
    if (bytes.size() < 512 || number(bytes, 1, 1) != 0x50)
        return QStringLiteral("no C3D header block (key 0x50 in byte 1)");
    const int parameterBlock = number(bytes, 0, 1);
    lastFrame = number(bytes, 8);
    dataBlock = number(bytes, 16);
    frameRate = floatAt(bytes, 20);
    const qsizetype start = qsizetype(parameterBlock - 1) * 512;
    if (parameterBlock < 2 || start + 4 > bytes.size() || number(bytes, start + 3, 1) != 84)
        return QStringLiteral("no Intel parameter section at block %1").arg(parameterBlock);
    parameterBlockCount = number(bytes, start + 2, 1);
    const qsizetype end = start + qsizetype(parameterBlockCount) * 512;
    if (end > bytes.size())
        return QStringLiteral("the parameter section runs past the end of the file");

    QHash<int, QString> groups;
    QList<int> groupIds;
    qsizetype position = start + 4;
    // Records up to an empty name or a next entry of 0; each must end where its next entry says.
    for (int nextEntry = 1; nextEntry != 0 && number(bytes, position, 1) != 0;) {
        const int nameLength = std::abs(qint8(bytes[position]));
        const int id = qint8(bytes[position + 1]);
        const qsizetype nextField = position + 2 + nameLength;
        if (nextField + 4 > end || nextField + 4 + number(bytes, nextField + 3, 1) > end)
            return QStringLiteral("the record at %1 runs past the parameter section").arg(position);
        const QString name = QString::fromLatin1(bytes.mid(position + 2, nameLength));
        nextEntry = qint16(number(bytes, nextField));
        qsizetype recordEnd = nextField + 2 + 1 + number(bytes, nextField + 2, 1); // a group's
        if (id < 0) {
            groups.insert(-id, name);
        } else {
            Parameter parameter{{}, name, {}, {}, int(position)};
            const int dimensionCount = number(bytes, nextField + 3, 1);
            qsizetype field = nextField + 4, dataSize = std::abs(qint8(bytes[nextField + 2]));
            for (int d = 0; d < dimensionCount; ++d, ++field) {
                parameter.dimensions.append(number(bytes, field, 1));
                dataSize *= parameter.dimensions.last();
            }
            parameter.data = bytes.mid(field, dataSize);
            recordEnd = field + dataSize + 1 + number(bytes, qMin(field + dataSize, end - 1), 1);
            parameters.append(parameter);
            groupIds.append(id);
        }
        if (recordEnd + 2 > end || nextEntry < 0 ||
            (nextEntry != 0 && nextField + nextEntry != recordEnd))
            return "the record " + name + " does not end where it says, or runs past the section";
        position = nextEntry ? recordEnd : position;
    }
    for (qsizetype i = 0; i < parameters.size(); ++i)
        parameters[i].group = groups.value(groupIds[i]);

    // Long files keep the true frame count outside the 16-bit header words.
    frameCount = qint64(lastFrame) - number(bytes, 6) + 1;
    if (const Parameter* last = find("TRIAL", "ACTUAL_END_FIELD"); last && last->data.size() == 4) {
        const Parameter* first = find("TRIAL", "ACTUAL_START_FIELD");
        frameCount = (last->word(0) | qint64(last->word(1)) << 16) -
                     (first ? first->word(0) | qint64(first->word(1)) << 16 : 1) + 1;
    }
    const Parameter* used = find("POINT", "USED");
    pointCount = used ? used->word(0) : number(bytes, 2);
    // LABELS, LABELS2, ...: strings of the first dimension's length, blank-padded.
    for (int n = 1;
         const Parameter* part = find("POINT", n > 1 ? "LABELS" + QString::number(n) : "LABELS");
         ++n) {
        for (qsizetype at = 0, length = part->dimensions.value(0);
             length > 0 && at + length <= part->data.size(); at += length) {
            QString label = QString::fromLatin1(part->data.mid(at, length));
            while (label.endsWith(' '))
                label.chop(1);
            labels.append(label);
        }
    }
    labels = labels.mid(0, pointCount);

    const qsizetype dataStart = qsizetype(dataBlock - 1) * 512;
    if (floatAt(bytes, 12) >= 0.0f || dataBlock < 2 || dataStart < end ||
        dataStart + frameCount * pointCount * 16 > bytes.size())
        return QStringLiteral("no float samples, or they run past the end of the file");
    samples.resize(size_t(frameCount * pointCount));
    for (size_t i = 0; i < samples.size(); ++i) {
        const qsizetype at = dataStart + qsizetype(i) * 16;
        samples[i] = {floatAt(bytes, at), floatAt(bytes, at + 4), floatAt(bytes, at + 8),
                      floatAt(bytes, at + 12)};
    }
    return QString();
}

} // namespace TestSupport
