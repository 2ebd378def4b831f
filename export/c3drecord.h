#pragma once

#include <QByteArray>
#include <QtEndian>

#include <cstring>

namespace C3DRecord {

// Writes the start that group and parameter records share: name length, group id, the name
// and the little-endian offset to the next record. Returns the first byte after it.
inline uchar* writeStart(uchar* out, qint8 nameLength, qint8 groupId, const QByteArray& name,
                         qint16 nextEntry)
{
    out[0] = uchar(nameLength);
    out[1] = uchar(groupId);
    std::memcpy(out + 2, name.constData(), size_t(name.size()));
    uchar* next = out + 2 + name.size();
    qToLittleEndian(nextEntry, next);
    return next + 2;
}

} // namespace C3DRecord
