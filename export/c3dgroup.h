#pragma once

#include <QByteArray>
#include <QString>

// A group record of the C3D parameter section. In the file:
//   byte 0           nameLength
//   byte 1           groupId (negative: the record is a group)
//   bytes 2..        name, nameLength bytes
//   next 2 bytes     nextEntry, counted from its own first byte to the next record
//   next byte        descriptionLength
//   next bytes       description
class C3DGroup
{
public:
    C3DGroup() = default;
    // A group named `name` with number `id`: a negative id is kept, a positive one becomes
    // minus its low byte, so that the record always reads as a group.
    C3DGroup(const QString& name, int id);

    // Bytes the record takes in the file, from its first byte to the next record.
    int getRecordSize() const { return 2 + int(name.size()) + nextEntry; }
    // Sets the length fields and nextEntry from the name and description.
    void updateLengths();
    // Writes the record at `out`, which must have room for getRecordSize() bytes.
    void writeTo(char* out) const;

    qint8 nameLength = 0;         ///< Byte 0
    qint8 groupId = 0;            ///< Byte 1
    QByteArray name;              ///< Bytes 2 .. 2 + nameLength - 1
    qint16 nextEntry = 3;         ///< 2 bytes after the name
    quint8 descriptionLength = 0; ///< 1 byte after nextEntry
    QByteArray description;       ///< descriptionLength bytes
};
