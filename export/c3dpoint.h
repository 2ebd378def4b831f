#pragma once

#include <QtGlobal>

// One 3D sample of a C3D file in floating-point form: 16 bytes.
class C3DPoint
{
public:
    static constexpr int size = 16;

    // Writes the 16 bytes of the sample, little-endian, to `out`.
    void writeTo(char* out) const;

    float x = 0.0f;       ///< Bytes 0-3
    float y = 0.0f;       ///< Bytes 4-7
    float z = 0.0f;       ///< Bytes 8-11
    quint32 residual = 0; ///< Bytes 12-15: residual and camera word; 0 marks a valid sample
};
