#include "support/c3dreader.h"

#include <QFile>
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
static int signedByteAt(const QByteArray& bytes, qsizetype at)
{
    return qint8(bytes[at]);
}
static float floatAt(const QByteArray& bytes, qsizetype at)
{
    return std::bit_cast<float>(quint32(number(bytes, at, 4)));
}

int C3DReader::Parameter::word(int index) const
{
    return number(data, 2 * index);
}
float C3DReader::Parameter::real(int index) const
{
    return floatAt(data, 4 * index);
}

QStringList C3DReader::Parameter::strings() const
{
    QStringList result;
    const int length = dimensions.value(0);
    for (int start = 0; length > 0 && start + length <= data.size(); start += length) {
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
    return file.open(QIODevice::ReadOnly) ? read(file.readAll()) : "cannot open " + path;
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
        const int nameLength = std::abs(signedByteAt(bytes, position));
        const int id = signedByteAt(bytes, position + 1);
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
            qsizetype field = nextField + 4,
                      dataSize = std::abs(signedByteAt(bytes, nextField + 2));
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
            return QStringLiteral("the record %1 at %2 (next entry %3) does not end where it says, "
                                  "or runs past the parameter section")
                .arg(name)
                .arg(position)
                .arg(nextEntry);
        position = nextEntry ? recordEnd : position;
    }
    parameterEnd = int(position);
    for (qsizetype i = 0; i < parameters.size(); ++i)
        parameters[i].group = groups.value(groupIds[i]);

    // Long files keep the true frame count outside the 16-bit header words.
    frameCount = qint64(lastFrame) - number(bytes, 6) + 1;
    if (const Parameter* last = find(QStringLiteral("TRIAL"), QStringLiteral("ACTUAL_END_FIELD"));
        last && last->data.size() == 4) {
        const Parameter* first =
            find(QStringLiteral("TRIAL"), QStringLiteral("ACTUAL_START_FIELD"));
        frameCount = (last->word(0) | qint64(last->word(1)) << 16) -
                     (first ? first->word(0) | qint64(first->word(1)) << 16 : 1) + 1;
    }
    const Parameter* used = find(QStringLiteral("POINT"), QStringLiteral("USED"));
    pointCount = used ? used->word(0) : number(bytes, 2);
    for (int n = 1;; ++n) {
        const QString suffix = n == 1 ? QString() : QString::number(n);
        const Parameter* part = find(QStringLiteral("POINT"), QStringLiteral("LABELS") + suffix);
        if (!part)
            break;
        labels += part->strings();
    }
    labels = labels.mid(0, pointCount);

    if (floatAt(bytes, 12) >= 0.0f)
        return QStringLiteral("integer samples are not supported");
    const qsizetype dataStart = qsizetype(dataBlock - 1) * 512;
    if (dataBlock < 2 || dataStart < end || dataStart + frameCount * pointCount * 16 > bytes.size())
        return QStringLiteral("the samples run past the end of the file");
    samples.resize(size_t(frameCount * pointCount));
    for (size_t i = 0; i < samples.size(); ++i) {
        const qsizetype at = dataStart + qsizetype(i) * 16;
        samples[i] = {floatAt(bytes, at), floatAt(bytes, at + 4), floatAt(bytes, at + 8),
                      floatAt(bytes, at + 12)};
    }
    return QString();
}

} // namespace TestSupport
