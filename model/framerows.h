#pragma once

#include <QSharedDataPointer>
#include <QtGlobal>

#include <span>

// The frame table of a motion: one row of channel values per frame, every row as long as the
// skeleton has channels, all rows in one contiguous buffer (row r starts at r * channels).
// A copy shares the buffer until either side changes a value, so copying a motion costs no
// more than a pointer; a change copies the rows first when they are shared.
//
// The buffer grows as the reader appends rows and never shrinks by itself: what was reserved
// stays reserved (untouched memory costs nothing until written). Growing throws
// std::bad_alloc when the memory cannot be had; the table is then as it was.
class FrameRows
{
public:
    FrameRows();
    // `rows` rows of `channels` zeros.
    FrameRows(qsizetype rows, qsizetype channels);
    FrameRows(const FrameRows& other);
    FrameRows(FrameRows&& other) noexcept;
    FrameRows& operator=(const FrameRows& other);
    FrameRows& operator=(FrameRows&& other) noexcept;
    ~FrameRows();

    qsizetype rowCount() const { return rows; }
    qsizetype channelCount() const { return channels; }
    bool isEmpty() const { return rows == 0; }

    std::span<const double> operator[](qsizetype row) const
    {
        return {constData() + row * channels, size_t(channels)};
    }
    // The row for changing in place; a shared buffer is copied first.
    std::span<double> rowToChange(qsizetype row);
    const double* constData() const;

    // Rows first .. first + count - 1 (as many as exist) as a table of their own.
    FrameRows mid(qsizetype first, qsizetype count) const;
    // The rows of `source` written over the rows from `first` on, as far as this table
    // reaches; nothing when the channel counts differ.
    void replaceRows(qsizetype first, const FrameRows& source);

    // Empties the table and sets the channels of the rows to come; keeps the buffer when it
    // is not shared.
    void reset(qsizetype channelCount);
    // Releases the buffer.
    void clear();
    // Room for `count` rows in all without moving the buffer.
    void reserveRows(qsizetype count);
    qsizetype reservedRows() const;
    // Appends `count` rows whose values the caller writes at once, and returns where they
    // start; their values are undefined until then. May move the buffer.
    double* appendRows(qsizetype count);
    // Keeps the first `count` rows.
    void truncate(qsizetype count);

    bool operator==(const FrameRows& other) const;
    bool operator!=(const FrameRows& other) const { return !(*this == other); }

private:
    class Buffer;

    // Writable storage for at least `values` values, copied from a shared buffer first.
    double* writable(qsizetype values);

    QExplicitlySharedDataPointer<Buffer> buffer;
    qsizetype rows = 0;
    qsizetype channels = 0;
};
