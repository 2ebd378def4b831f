#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

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
    struct Group
    {
        int id = 0; // positive here; the file stores it negated
        QString name;
        int offset = 0;
    };

    struct Parameter
    {
        QString group; // name of the owning group, empty when the group is missing
        int groupId = 0;
        QString name;
        int type = 0;
        QList<int> dimensions;
        QByteArray data;
        int offset = 0;     // file position of the record's first byte
        int recordSize = 0; // bytes from that position to the next record

        int elementCount() const;
        // Element i read as an unsigned 16-bit word, as a float, or as strings of the first
        // dimension's length with trailing blanks removed.
        int word(int index) const;
        float real(int index) const;
        QStringList strings() const;
    };

    // Empty error string when the bytes form a readable file.
    QString read(const QByteArray& bytes);
    QString readFile(const QString& path);

    const Parameter* find(const QString& group, const QString& name) const;

    // Header block.
    int parameterBlock = 0;
    int key = 0;
    int headerPointCount = 0;
    int analogCount = 0;
    int firstFrame = 0;
    int lastFrame = 0;
    int maxInterpolationGap = 0;
    float scale = 0.0f;
    int dataBlock = 0;
    float frameRate = 0.0f;

    // Parameter section.
    int parameterBlockCount = 0;
    int processorType = 0;
    int parameterEnd = 0; // first byte after the last record
    QList<Group> groups;
    QList<Parameter> parameters;

    // Samples, as a reader of long files derives them.
    qint64 frameCount = 0;
    int pointCount = 0;
    QStringList labels; // LABELS, LABELS2, ... joined
    std::vector<std::array<float, 4>> samples;
};

} // namespace TestSupport
