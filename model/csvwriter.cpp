#include "csvwriter.h"

#include "model/numberformat.h"

#include <algorithm>
#include <cstring>

// Large enough that a 100,000-frame table is written in a few hundred blocks. Past the flush
// mark the margin still holds a few cells: endLine() flushes there, and addNumber() too before
// a cell of a very long line.
static constexpr qsizetype flushSize = 1 << 20;
static constexpr qsizetype margin = 4 * NumberFormat::maxLength;

CsvWriter::CsvWriter(const QString& fileName) : file(fileName) {}

bool CsvWriter::open()
{
    failed = !file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (!failed) {
        buffer = std::make_unique_for_overwrite<char[]>(size_t(flushSize + margin));
        end = buffer.get();
        flushMark = end + flushSize;
        limit = flushMark + margin;
    }
    return !failed;
}

void CsvWriter::reserve(qsizetype length)
{
    if (limit - end >= length)
        return;
    flush();
    if (limit - end >= length)
        return;
    // Longer than the whole buffer (a header with thousands of long joint names): grow it.
    const qsizetype size = length + margin;
    buffer = std::make_unique_for_overwrite<char[]>(size_t(size));
    end = buffer.get();
    limit = end + size;
    flushMark = std::min(end + flushSize, limit - margin);
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
    end += NumberFormat::writeGeneral(end, value, 6);
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
