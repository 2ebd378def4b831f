#include "csvfile.h"

#include "model/numberformat.h"

#include <QSaveFile>

static void appendValue(QByteArray& text, const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float: {
        char buffer[NumberFormat::maxLength];
        text.append(buffer, NumberFormat::writeGeneral(buffer, value.toDouble(), 15));
        break;
    }
    default:
        text.append(value.toString().toUtf8());
        break;
    }
}

QByteArray CsvFile::toText() const
{
    QByteArray text = header.join(QLatin1Char(',')).toUtf8();
    text.append('\n');
    for (const QList<QVariant>& row : rows) {
        for (qsizetype i = 0; i < row.size(); ++i) {
            if (i > 0)
                text.append(',');
            appendValue(text, row[i]);
        }
        text.append('\n');
    }
    return text;
}

WriteResult CsvFile::write(const QString& fileName) const
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, file.errorString());
    const QByteArray text = toText();
    return WriteResult::commit(file, file.write(text) != text.size());
}
