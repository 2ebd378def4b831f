#include "c3dgroup.h"

#include "export/c3dparameter.h"

#include <QtEndian>

#include <cstring>

C3DGroup::C3DGroup(const QString& groupName, int id)
    : groupId(qint8(id <= 0 ? id : -(id & 0xFF))), name(C3DParameter::toBytes(groupName))
{
    updateLengths();
}

void C3DGroup::updateLengths()
{
    nameLength = qint8(name.size());
    descriptionLength = quint8(description.size());
    nextEntry = qint16(3 + descriptionLength);
}

void C3DGroup::writeTo(char* out) const
{
    auto* bytes = reinterpret_cast<uchar*>(out);
    bytes[0] = uchar(nameLength);
    bytes[1] = uchar(groupId);
    std::memcpy(bytes + 2, name.constData(), size_t(name.size()));
    uchar* next = bytes + 2 + name.size();
    qToLittleEndian(nextEntry, next);
    next[2] = descriptionLength;
    std::memcpy(next + 3, description.constData(), size_t(description.size()));
}
