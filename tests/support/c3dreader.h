#pragma once

#include <QList>
#include <QStringList>
#include <QtEndian>

#include <array>
#include <vector>

namespace TestSupport {

// A C3D reader for the tests, written from the published description of the format and
// sharing no code with the program's writer: it walks the parameter section by each record's
// next-entry offset, as any reader does, so a wrong offset in a written file shows up as a
// wrong or missing record here. Floating-point samples only; Intel byte order only.
class C3DReader
{
public:
    struct Parameter
    {
        QString group; // name of the owning group, empty when the group is missing
        QString name;
        QList<int> dimensions;
        QByteArray data;
        int offset = 0; // file position of the record's first byte

        // Element i read as an unsigned 16-bit word, or as a float.
        int word(int index) const { return qFromLittleEndian<quint16>(data.data() + 2 * index); }
        float real(int index) const { return qFromLittleEndian<float>(data.data() + 4 * index); }
    };

    // Empty error string when the bytes form a readable file.
    QString read(const QByteArray& bytes);
    QString readFile(const QString& path);

    const Parameter* find(const QString& group, const QString& name) const;

    // Header words, and the parameter section's block count.
    int lastFrame = 0;
    int dataBlock = 0;
    float frameRate = 0.0f;
    int parameterBlockCount = 0;
    QList<Parameter> parameters;

    // Samples, as a reader of long files derives them.
    qint64 frameCount = 0;
    int pointCount = 0;
    QStringList labels; // LABELS, LABELS2, ... joined
    std::vector<std::array<float, 4>> samples;
};

} // namespace TestSupport
