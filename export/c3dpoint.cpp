#include "c3dpoint.h"

#include <QtEndian>

void C3DPoint::writeTo(char* out) const
{
    auto* bytes = reinterpret_cast<uchar*>(out);
    qToLittleEndian(x, bytes);
    qToLittleEndian(y, bytes + 4);
    qToLittleEndian(z, bytes + 8);
    qToLittleEndian(residual, bytes + 12);
}
