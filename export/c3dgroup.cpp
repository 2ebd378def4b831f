#include "c3dgroup.h"

#include "export/c3dparameter.h"
#include "export/c3drecord.h"

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
    uchar* rest =
        C3DRecord::writeStart(reinterpret_cast<uchar*>(out), nameLength, groupId, name, nextEntry);
    rest[0] = descriptionLength;
    std::memcpy(rest + 1, description.constData(), size_t(description.size()));
}
