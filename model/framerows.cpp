#include "framerows.h"

#include <QSharedData>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// The values, allocated with malloc so that growing can move them with realloc (which for a
// large buffer remaps its pages instead of copying them) and so that appended rows are not
// first filled with zeros only to be overwritten.
class FrameRows::Buffer : public QSharedData
{
public:
    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { std::free(values); }

    // Room for at least `count` values, keeping those held.
    void grow(qsizetype count)
    {
        if (count <= capacity)
            return;
        // Geometric growth: a table appended to block by block moves a logarithmic number of
        // times.
        const qsizetype wanted = std::max(count, capacity + capacity / 2);
        void* moved = std::realloc(values, size_t(wanted) * sizeof(double));
        if (!moved)
            throw std::bad_alloc();
        values = static_cast<double*>(moved);
        capacity = wanted;
    }

    double* values = nullptr;
    qsizetype capacity = 0; // values
};

FrameRows::FrameRows() = default;
FrameRows::FrameRows(const FrameRows& other) = default;
FrameRows::FrameRows(FrameRows&& other) noexcept = default;
FrameRows& FrameRows::operator=(const FrameRows& other) = default;
FrameRows& FrameRows::operator=(FrameRows&& other) noexcept = default;
FrameRows::~FrameRows() = default;

FrameRows::FrameRows(qsizetype rowCount, qsizetype channelCount)
    : rows(std::max<qsizetype>(rowCount, 0)), channels(std::max<qsizetype>(channelCount, 0))
{
    double* values = writable(rows * channels);
    if (values)
        std::fill_n(values, rows * channels, 0.0);
}

const double* FrameRows::constData() const
{
    return buffer ? buffer->values : nullptr;
}

double* FrameRows::writable(qsizetype values)
{
    if (values <= 0 && !buffer)
        return nullptr;
    const qsizetype used = rows * channels;
    if (!buffer) {
        buffer = new Buffer;
    } else if (buffer->ref.loadRelaxed() > 1) {
        QExplicitlySharedDataPointer<Buffer> own(new Buffer);
        own->grow(std::max(values, used));
        if (used > 0)
            std::memcpy(own->values, buffer->values, size_t(used) * sizeof(double));
        buffer = own;
        return buffer->values;
    }
    buffer->grow(values);
    return buffer->values;
}

std::span<double> FrameRows::rowToChange(qsizetype row)
{
    return {writable(rows * channels) + row * channels, size_t(channels)};
}

FrameRows FrameRows::mid(qsizetype first, qsizetype count) const
{
    first = std::clamp<qsizetype>(first, 0, rows);
    count = std::clamp<qsizetype>(count, 0, rows - first);
    FrameRows part;
    part.channels = channels;
    double* values = part.appendRows(count);
    if (count > 0 && channels > 0)
        std::memcpy(values, constData() + first * channels,
                    size_t(count * channels) * sizeof(double));
    return part;
}

void FrameRows::replaceRows(qsizetype first, const FrameRows& source)
{
    if (source.channels != channels || first < 0 || first >= rows || source.rows == 0)
        return;
    const qsizetype count = std::min(source.rows, rows - first);
    if (count * channels == 0)
        return;
    double* values = writable(rows * channels);
    std::memcpy(values + first * channels, source.constData(),
                size_t(count * channels) * sizeof(double));
}

void FrameRows::reset(qsizetype channelCount)
{
    if (buffer && buffer->ref.loadRelaxed() > 1)
        buffer.reset();
    rows = 0;
    channels = std::max<qsizetype>(channelCount, 0);
}

void FrameRows::clear()
{
    buffer.reset();
    rows = 0;
    channels = 0;
}

void FrameRows::reserveRows(qsizetype count)
{
    writable(count * channels);
}

qsizetype FrameRows::reservedRows() const
{
    // Rows without channels take no room: nothing is reserved for them.
    if (channels == 0 || !buffer)
        return rows;
    return buffer->capacity / channels;
}

double* FrameRows::appendRows(qsizetype count)
{
    count = std::max<qsizetype>(count, 0);
    double* values = writable((rows + count) * channels);
    double* appended = values ? values + rows * channels : nullptr;
    rows += count;
    return appended;
}

void FrameRows::truncate(qsizetype count)
{
    rows = std::clamp<qsizetype>(count, 0, rows);
}

bool FrameRows::operator==(const FrameRows& other) const
{
    if (rows != other.rows || channels != other.channels)
        return false;
    const qsizetype used = rows * channels;
    return used == 0 || constData() == other.constData() ||
           std::equal(constData(), constData() + used, other.constData());
}
