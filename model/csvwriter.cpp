#include "csvwriter.h"

#include "model/numberformat.h"

#include <cmath>
#include <cstring>

// Large enough that a 100,000-frame table is written in a few hundred blocks. The buffer starts
// at the first size and doubles at each flush up to the full one, so that a short table (a
// batch of small files) costs little. Past the flush mark the margin still holds a few cells:
// endLine() flushes there, and addNumber() too before a cell of a very long line.
static constexpr qsizetype firstBlockSize = 1 << 14;
static constexpr qsizetype flushSize = 1 << 20;
static constexpr qsizetype margin = 4 * NumberFormat::maxLength;

CsvWriter::CsvWriter(const QString& fileName, int significantDigits)
    : file(fileName), significantDigits(significantDigits)
{
}

bool CsvWriter::open()
{
    failed = !file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (!failed)
        allocate(firstBlockSize);
    return !failed;
}

void CsvWriter::allocate(qsizetype size)
{
    blockSize = size;
    buffer = std::make_unique_for_overwrite<char[]>(size_t(blockSize + margin));
    end = buffer.get();
    flushMark = end + blockSize;
    limit = flushMark + margin;
}

void CsvWriter::reserve(qsizetype length)
{
    if (limit - end >= length)
        return;
    flush();
    if (limit - end >= length)
        return;
    // Longer than the whole buffer (a header with thousands of long joint names): grow it.
    allocate(length);
}

void CsvWriter::addText(const QString& value)
{
    addText(value.toUtf8().constData());
}

void CsvWriter::addText(const char* value)
{
    const qsizetype length = qsizetype(std::strlen(value));
    reserve(length + margin);
    std::memcpy(end, value, size_t(length));
    end += length;
}

void CsvWriter::addNumber(double value)
{
    if (end >= flushMark) // a very long line: make room before the next cell
        reserve(margin);
    heldNonFinite |= !std::isfinite(value);
    end += NumberFormat::writeGeneral(end, value, significantDigits);
}

void CsvWriter::endLine()
{
    *end++ = '\n';
    if (end >= flushMark)
        flush();
}

void CsvWriter::flush()
{
    const qsizetype length = end - buffer.get();
    if (!failed && length > 0 && file.write(buffer.get(), length) < 0)
        failed = true;
    if (blockSize < flushSize)
        allocate(blockSize * 2);
    else
        end = buffer.get();
}

WriteResult CsvWriter::finish()
{
    const QString fileName = file.fileName();
    if (!file.isOpen())
        return WriteResult::failure(fileName, file.errorString());
    flush();
    // QSaveFile remembers a failed write and then refuses to commit, keeping the old file.
    return WriteResult::commit(file, failed);
}
