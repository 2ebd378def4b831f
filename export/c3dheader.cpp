#include "c3dheader.h"

#include <QtEndian>

#include <cstring>

void C3DHeader::writeTo(char* block) const
{
    std::memset(block, 0, size);
    auto* bytes = reinterpret_cast<uchar*>(block);
    bytes[0] = parameterBlock;
    bytes[1] = key;
    qToLittleEndian(pointCount, bytes + 2);
    qToLittleEndian(analogCount, bytes + 4);
    qToLittleEndian(firstFrame, bytes + 6);
    qToLittleEndian(lastFrame, bytes + 8);
    qToLittleEndian(maxInterpolationGap, bytes + 10);
    qToLittleEndian(scale, bytes + 12);
    qToLittleEndian(dataBlock, bytes + 16);
    qToLittleEndian(analogSamplesPerFrame, bytes + 18);
    qToLittleEndian(frameRate, bytes + 20);
}
