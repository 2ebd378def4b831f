#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A parameter record of the C3D parameter section. In the file:
//   byte 0           nameLength
//   byte 1           groupId (positive: the number of the owning group)
//   bytes 2..        name, nameLength bytes
//   next 2 bytes     nextEntry, counted from its own first byte to the next record
//   next byte        dataType: -1 character, 1 byte, 2 16-bit integer, 4 float
//   next byte        dimensionCount, 0 for a scalar
//   next bytes       dimensions, one unsigned byte each
//   next bytes       the data: |dataType| bytes times the product of the dimensions
//   next byte        descriptionLength
//   next bytes       description
class C3DParameter
{
public:
    enum DataType : qint8
    {
        Character = -1,
        Byte = 1,
        Integer = 2,
        Float = 4
    };

    // A dimension is one byte, so no string of a character parameter is longer than this, and
    // a list of strings holds at most this many.
    static constexpr int maxDimension = 255;
    // nextEntry is a signed 16-bit word.
    static constexpr int maxNextEntry = 32767;

    // A 16-bit integer scalar; the value is truncated to 16 bits.
    static C3DParameter integer(const QString& name, int group, int value);
    // A one-dimensional array of 16-bit integers (at most maxDimension of them).
    static C3DParameter integers(const QString& name, int group, const QList<qint16>& values);
    static C3DParameter floating(const QString& name, int group, float value);
    // A two-dimensional array of floats, [rows, columns], the first index running fastest:
    // `values` holds column after column. Cut to maxDimension columns.
    static C3DParameter floatTable(const QString& name, int group, const QList<float>& values,
                                   int rows);
    // One string gives the dimensions [L], several [L, N] with every string padded with
    // spaces to L, the longest length; none gives [0]. Strings are cut to maxDimension
    // characters and the list to maxDimension strings.
    static C3DParameter characters(const QString& name, int group, const QStringList& strings);

    // One byte per character: the low byte of each UTF-16 code unit, at most `maxLength`.
    static QByteArray toBytes(const QString& text, int maxLength = 127);

    // nextEntry as the contents require it. Returned as an int so that a record too large for
    // the 16-bit field can be told apart.
    int calculateNextEntry() const;
    // Bytes the record takes in the file, from its first byte to the next record.
    int getRecordSize() const { return 2 + int(name.size()) + calculateNextEntry(); }
    // Sets nameLength, descriptionLength and nextEntry from the contents.
    void updateLengths();
    // Writes the record at `out`, which must have room for getRecordSize() bytes.
    void writeTo(char* out) const;
    // A readable dump of the record on the C3D writer's debug output.
    void printParameter() const;

    qint8 nameLength = 0;         ///< Byte 0
    qint8 groupId = 0;            ///< Byte 1
    QByteArray name;              ///< Bytes 2 .. 2 + nameLength - 1
    qint16 nextEntry = 0;         ///< 2 bytes after the name
    qint8 dataType = Integer;     ///< 1 byte after nextEntry
    quint8 dimensionCount = 0;    ///< 1 byte after dataType
    QByteArray dimensions;        ///< dimensionCount bytes
    QByteArray charData;          ///< the data when dataType is Character or Byte
    QList<qint16> intData;        ///< the data when dataType is Integer
    QList<float> floatData;       ///< the data when dataType is Float
    quint8 descriptionLength = 0; ///< 1 byte after the data
    QByteArray description;       ///< descriptionLength bytes

private:
    C3DParameter(const QString& name, int group, DataType type);
};
