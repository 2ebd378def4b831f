#pragma once

#include <QtGlobal>

// The first 512-byte block of a C3D file. Every 16-bit word is unsigned and, like every other
// field, little-endian in the file. Bytes 24..511 (reserved words, the event table and the
// label-range area) are always zero in the files this program writes.
class C3DHeader
{
public:
    static constexpr int size = 512;

    // Writes the 512 bytes of the block to `block`.
    void writeTo(char* block) const;

    quint8 parameterBlock = 2;         ///< Byte 0: block number of the first parameter block
    quint8 key = 0x50;                 ///< Byte 1: 0x50 marks a C3D file
    quint16 pointCount = 0;            ///< Bytes 2-3: 3D points per frame
    quint16 analogCount = 0;           ///< Bytes 4-5: analog measurements per frame
    quint16 firstFrame = 1;            ///< Bytes 6-7: number of the first frame
    quint16 lastFrame = 0;             ///< Bytes 8-9: number of the last frame
    quint16 maxInterpolationGap = 10;  ///< Bytes 10-11
    float scale = -1.0f;               ///< Bytes 12-15: negative for floating-point samples
    quint16 dataBlock = 12;            ///< Bytes 16-17: block number of the first data block
    quint16 analogSamplesPerFrame = 0; ///< Bytes 18-19
    float frameRate = 30.0f;           ///< Bytes 20-23
};
