#pragma once

#include "model/progresssink.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// A small table written as comma-separated text: a header line, then one line per row. Doubles
// are written with 15 significant digits as printf "%.15g" does, whatever the locale.
class CsvFile
{
public:
    void setHeader(const QStringList& names) { header = names; }
    void addRow(const QList<QVariant>& row) { rows.append(row); }
    // Writes the table with "\n" line ends. An existing file is replaced only when everything
    // was written.
    WriteResult write(const QString& fileName) const;
    QByteArray toText() const;

    QStringList header;
    QList<QList<QVariant>> rows;
};
