#pragma once

#include "model/progresssink.h"

#include <QSaveFile>
#include <QString>

#include <string>

// Writes a comma-separated table: cells joined by ",", numbers in printf "%g" style with 6
// significant digits, lines ended by a line feed (the platform's line end, as the file is
// opened in text mode). Text is gathered in a buffer and written in large blocks; the file
// replaces the old one only when finish() succeeds, so a failed export never destroys it.
class CsvWriter
{
public:
    explicit CsvWriter(const QString& fileName);

    // False when the file cannot be written; finish() then reports why.
    bool open();

    void addText(const QString& text);
    void addText(const char* text);
    // A number cell after a separator: ",<value>".
    void addNumberCell(double value)
    {
        text.push_back(',');
        addNumber(value);
    }
    void addNumber(double value);
    // Ends the line; writes the buffer out once it holds enough.
    void endLine();

    // Writes what is left and replaces the file.
    WriteResult finish();

private:
    void flush();

    QSaveFile file;
    std::string text;
    bool failed = false;
};
