#pragma once

#include "model/progresssink.h"

#include <QSaveFile>
#include <QString>

#include <memory>

// Writes a comma-separated table: cells joined by ",", numbers in printf "%g" style with 6
// significant digits unless the writer is made with another count, lines ended by a line feed (the
// platform's line end, as the file is opened in text mode). Text is gathered in a buffer and
// written in large blocks; the file replaces the old one only when finish() succeeds, so a failed
// export never destroys it.
class CsvWriter
{
public:
    explicit CsvWriter(const QString& fileName, int significantDigits = 6);

    // False when the file cannot be written; finish() then reports why.
    bool open();
    bool isOpen() const { return file.isOpen(); }

    void addText(const QString& text);
    void addText(const char* text);
    // A number cell after a separator: ",<value>".
    void addNumberCell(double value)
    {
        *end++ = ',';
        addNumber(value);
    }
    void addNumber(double value);
    // True once a number cell was not a finite number (no table should hold one).
    bool hasNonFiniteNumber() const { return heldNonFinite; }
    // Ends the line; writes the buffer out once it holds enough.
    void endLine();

    // Writes what is left and replaces the file.
    WriteResult finish();

private:
    void flush();
    // Room for `length` more bytes (flushing first if needed).
    void reserve(qsizetype length);
    // An empty buffer whose flush mark lies `size` bytes in.
    void allocate(qsizetype size);

    QSaveFile file;
    // Text is written straight into one fixed buffer; a line may overshoot the flush mark by
    // any amount up to the margin, and longer texts go through reserve().
    std::unique_ptr<char[]> buffer;
    qsizetype blockSize = 0;
    char* end = nullptr;
    char* flushMark = nullptr;
    char* limit = nullptr;
    bool failed = false;
    bool heldNonFinite = false;
    int significantDigits;
};
