#include "c3dparameter.h"

#include "export/c3dlog.h"
#include "export/c3drecord.h"

#include <QDebug>
#include <QtEndian>

#include <algorithm>
#include <cstdlib>
#include <cstring>

C3DParameter::C3DParameter(const QString& parameterName, int group, DataType type)
    : groupId(qint8(std::abs(group) & 0x7F)), name(toBytes(parameterName)), dataType(type)
{
}

C3DParameter C3DParameter::integer(const QString& name, int group, int value)
{
    C3DParameter parameter(name, group, Integer);
    parameter.intData = {qint16(value)};
    parameter.updateLengths();
    return parameter;
}

C3DParameter C3DParameter::integers(const QString& name, int group, const QList<qint16>& values)
{
    C3DParameter parameter(name, group, Integer);
    parameter.intData = values.first(std::min<qsizetype>(values.size(), maxDimension));
    parameter.dimensionCount = 1;
    parameter.dimensions.append(char(parameter.intData.size()));
    parameter.updateLengths();
    return parameter;
}

C3DParameter C3DParameter::floating(const QString& name, int group, float value)
{
    C3DParameter parameter(name, group, Float);
    parameter.floatData = {value};
    parameter.updateLengths();
    return parameter;
}

C3DParameter C3DParameter::floatTable(const QString& name, int group, const QList<float>& values,
                                      int rows)
{
    C3DParameter parameter(name, group, Float);
    rows = std::clamp(rows, 1, maxDimension);
    const qsizetype columns = std::min<qsizetype>(values.size() / rows, maxDimension);
    parameter.floatData = values.first(columns * rows);
    parameter.dimensions.append(char(rows));
    parameter.dimensions.append(char(columns));
    parameter.updateLengths();
    return parameter;
}

C3DParameter C3DParameter::characters(const QString& name, int group, const QStringList& strings)
{
    C3DParameter parameter(name, group, Character);
    const qsizetype count = std::min<qsizetype>(strings.size(), maxDimension);
    qsizetype longest = 0;
    for (qsizetype i = 0; i < count; ++i)
        longest = std::max(longest, strings[i].size());
    longest = std::min<qsizetype>(longest, maxDimension);
    parameter.dimensionCount = 1;
    parameter.dimensions.append(char(longest));
    if (count >= 2) {
        parameter.dimensionCount = 2;
        parameter.dimensions.append(char(count));
    }
    parameter.charData.reserve(longest * count);
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArray bytes = toBytes(strings[i], int(longest));
        parameter.charData.append(bytes);
        parameter.charData.append(longest - bytes.size(), ' ');
    }
    parameter.updateLengths();
    return parameter;
}

QByteArray C3DParameter::toBytes(const QString& text, int maxLength)
{
    const qsizetype length = std::min<qsizetype>(text.size(), maxLength);
    QByteArray bytes(length, Qt::Uninitialized);
    for (qsizetype i = 0; i < length; ++i)
        bytes[i] = char(text[i].unicode() & 0xFF);
    return bytes;
}

int C3DParameter::calculateNextEntry() const
{
    int product = 1;
    for (const char dimension : dimensions)
        product *= int(uchar(dimension));
    return 2 + 1 + 1 + int(dimensions.size()) + std::abs(dataType) * product + 1 +
           descriptionLength;
}

void C3DParameter::updateLengths()
{
    nameLength = qint8(name.size());
    dimensionCount = quint8(dimensions.size());
    descriptionLength = quint8(description.size());
    nextEntry = qint16(calculateNextEntry());
}

void C3DParameter::writeTo(char* out) const
{
    uchar* rest =
        C3DRecord::writeStart(reinterpret_cast<uchar*>(out), nameLength, groupId, name, nextEntry);
    rest[0] = uchar(dataType);
    rest[1] = dimensionCount;
    std::memcpy(rest + 2, dimensions.constData(), size_t(dimensions.size()));
    uchar* data = rest + 2 + dimensions.size();
    switch (dataType) {
    case Character:
    case Byte:
        std::memcpy(data, charData.constData(), size_t(charData.size()));
        data += charData.size();
        break;
    case Integer:
        for (const qint16 value : intData) {
            qToLittleEndian(value, data);
            data += 2;
        }
        break;
    case Float:
        for (const float value : floatData) {
            qToLittleEndian(value, data);
            data += 4;
        }
        break;
    }
    data[0] = descriptionLength;
    std::memcpy(data + 1, description.constData(), size_t(description.size()));
}

void C3DParameter::printParameter() const
{
    if (!c3dLog().isDebugEnabled())
        return;
    QDebug out = QMessageLogger(__FILE__, __LINE__, Q_FUNC_INFO).debug(c3dLog());
    out << "C3D PARAMETER"
        << "\n  ID" << groupId << "\n  Name" << name << "\n  Next Entry" << nextEntry
        << "\n  Calculated Next Entry" << calculateNextEntry()
        << "\n  Length of each data element in bytes" << dataType
        << "\n  Number of dimensions (0-7) of the parameter, 0=scalar" << dimensionCount
        << "\n  Parameter dimensions";
    for (const char dimension : dimensions)
        out << int(uchar(dimension));
    switch (dataType) {
    case Character:
        out << "\n  Character Data" << charData;
        break;
    case Byte:
        out << "\n  One Byte Data Array" << charData;
        break;
    case Integer:
        out << "\n  Two Byte Data Array" << intData;
        break;
    case Float:
        out << "\n  Four Byte Data Array" << floatData;
        break;
    }
    out << "\n  Description" << description;
}
