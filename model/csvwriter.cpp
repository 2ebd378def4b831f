#include "csvwriter.h"

#include "model/numberformat.h"

// Large enough that a 100,000-frame table is written in a few hundred blocks.
static constexpr size_t flushSize = 1 << 20;

CsvWriter::CsvWriter(const QString& fileName) : file(fileName) {}

bool CsvWriter::open()
{
    failed = !file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (!failed)
        text.reserve(flushSize + 4096);
    return !failed;
}

void CsvWriter::addText(const QString& value)
{
    text.append(value.toStdString());
}

void CsvWriter::addText(const char* value)
{
    text.append(value);
}

void CsvWriter::addNumber(double value)
{
    char buffer[NumberFormat::maxLength];
    text.append(buffer, size_t(NumberFormat::writeGeneral(buffer, value, 6)));
}

void CsvWriter::endLine()
{
    text.push_back('\n');
    if (text.size() >= flushSize)
        flush();
}

void CsvWriter::flush()
{
    if (!failed && !text.empty() && file.write(text.data(), qint64(text.size())) < 0)
        failed = true;
    text.clear();
}

WriteResult CsvWriter::finish()
{
    const QString fileName = file.fileName();
    if (!file.isOpen())
        return WriteResult::failure(fileName, file.errorString());
    flush();
    // QSaveFile remembers a failed write and then refuses to commit, keeping the old file.
    if (!file.commit() || failed)
        return WriteResult::failure(fileName, file.errorString());
    return WriteResult::success(fileName);
}
