#include "masssegmentfile.h"

#include "model/numberformat.h"

#include <QDomDocument>
#include <QDomImplementation>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>

namespace MassSegmentFile {

static const QString rootTag = QStringLiteral("BvhMassProperties");
static const QString segmentTag = QStringLiteral("Segment");
// The four children of a Segment, in the order they are written.
static const std::array<QString, 4> valueTags = {
    QStringLiteral("StartJoint"), QStringLiteral("EndJoint"), QStringLiteral("ProximalDistance"),
    QStringLiteral("Mass")};

static void appendValue(QDomDocument& document, QDomElement& segment, const QString& tag,
                        const QString& text)
{
    QDomElement element = document.createElement(tag);
    element.appendChild(document.createTextNode(text));
    segment.appendChild(element);
}

void appendSegments(QDomDocument& document, QDomElement& parent, const MassSegmentModel& segments)
{
    for (const MassSegment& segment : segments) {
        QDomElement element = document.createElement(segmentTag);
        parent.appendChild(element);
        appendValue(document, element, valueTags[0], segment.startJoint);
        appendValue(document, element, valueTags[1], segment.endJoint);
        appendValue(document, element, valueTags[2],
                    NumberFormat::general(segment.proximalDistance));
        appendValue(document, element, valueTags[3], NumberFormat::general(segment.mass));
    }
}

WriteResult writeDocument(const QString& fileName, const QDomDocument& document)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, file.errorString());
    const QByteArray text = document.toString(3).toUtf8();
    return WriteResult::commit(file, file.write(text) != text.size());
}

WriteResult write(const QString& fileName, const MassSegmentModel& segments)
{
    QDomDocument document(QDomImplementation().createDocumentType(rootTag, {}, {}));
    QDomElement root = document.createElement(rootTag);
    document.appendChild(root);
    appendSegments(document, root, segments);
    return writeDocument(fileName, document);
}

// Reads the four values of one Segment element into `texts` (in valueTags order). False, with a
// warning, when one of them is missing; a repeated one is named and the first kept.
static bool readSegmentTexts(const QDomElement& segment, int number, std::array<QString, 4>& texts,
                             QStringList& warnings)
{
    std::array<bool, 4> found = {};
    for (QDomNode child = segment.firstChild(); !child.isNull(); child = child.nextSibling()) {
        const auto tag = std::find(valueTags.begin(), valueTags.end(), child.nodeName());
        if (tag == valueTags.end())
            continue;
        const size_t index = size_t(tag - valueTags.begin());
        if (found[index]) {
            warnings.append(QStringLiteral("Segment %1 repeats %2; the first is used.")
                                .arg(number + 1)
                                .arg(*tag));
            continue;
        }
        found[index] = true;
        texts[index] = child.firstChild().nodeValue(); // a null node gives an empty string
    }
    for (size_t index = 0; index < valueTags.size(); ++index) {
        if (!found[index]) {
            warnings.append(QStringLiteral("Segment %1 has no %2 and is left out.")
                                .arg(number + 1)
                                .arg(valueTags[index]));
            return false;
        }
    }
    return true;
}

// A mass-segment file holds a few dozen segments: some kilobytes, three levels deep. Files far
// beyond that are refused before the document tree is built, which would take many times the
// file's size in memory and, for deep nesting, time that grows with the square of the depth.
static constexpr qint64 maxFileSize = 4 << 20;
static constexpr int maxDepth = 256;

// Why the open file cannot be a mass-segment file, or an empty string. Malformed XML is left to
// the document parser, which says where.
static QString checkShape(QFile& file)
{
    if (file.size() > maxFileSize)
        return QStringLiteral("it is larger than %1 bytes").arg(maxFileSize);
    QXmlStreamReader xml(&file);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > maxDepth)
            return QStringLiteral("its elements nest deeper than %1 levels (line %2)")
                .arg(maxDepth)
                .arg(xml.lineNumber());
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    file.seek(0);
    return {};
}

QString defaultModelFile()
{
    const QString local = QStringLiteral("defaultMassSegments.xml");
    return QFile::exists(local) ? local : QStringLiteral(":/kinovane/defaultMassSegments.xml");
}

static MassSegmentReadResult failure(const QString& errorString)
{
    MassSegmentReadResult result;
    result.errorString = errorString;
    return result;
}

MassSegmentReadResult read(const QString& fileName)
{
    // A directory or a named pipe is no model; opening a pipe would wait for a writer.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return failure(QStringLiteral("Cannot read %1: it is not a regular file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()));
    if (const QString problem = checkShape(file); !problem.isEmpty())
        return failure(QStringLiteral("%1 is not a mass-segment file: %2").arg(fileName, problem));
    QDomDocument document;
    QString message;
    int line = 0, column = 0;
    if (!document.setContent(&file, false, &message, &line, &column)) {
        return failure(QStringLiteral("%1 is not an XML file: %2 (line %3, column %4)")
                           .arg(fileName, message)
                           .arg(line)
                           .arg(column));
    }

    MassSegmentReadResult result;
    result.ok = true;
    // Every Segment anywhere in the document counts; the root's name is not checked, so files
    // written under another root name still load.
    const QDomNodeList elements = document.elementsByTagName(segmentTag);
    for (int n = 0; n < elements.size(); ++n) {
        std::array<QString, 4> texts;
        if (!readSegmentTexts(elements.at(n).toElement(), n, texts, result.warnings))
            continue;
        result.segments.append({texts[0], texts[1], NumberFormat::toDouble(texts[2].toStdString()),
                                NumberFormat::toDouble(texts[3].toStdString())});
    }
    return result;
}

} // namespace MassSegmentFile
