#pragma once

#include "model/writeresult.h"
#include "physics/masssegment.h"

#include <QString>
#include <QStringList>

class QDomDocument;
class QDomElement;

// What reading a mass-segment file gave: the model, or why there is none. A Segment element
// that lacks one of its four values is left out and named in `warnings`.
struct MassSegmentReadResult
{
    bool ok = false;
    QString errorString;
    QStringList warnings;
    MassSegmentModel segments;
};

// The XML file of a mass-segment model: a BvhMassProperties root holding one Segment element
// per segment, each with StartJoint, EndJoint, ProximalDistance and Mass children.
namespace MassSegmentFile {

// "defaultMassSegments.xml" of the current directory when there is one, else the model shipped
// inside the program (de Leva 1996 for the iPi Studio skeleton).
QString defaultModelFile();

MassSegmentReadResult read(const QString& fileName);
// Numbers with 6 significant digits; the old file is kept when the write fails.
WriteResult write(const QString& fileName, const MassSegmentModel& segments);
// The Segment elements of `segments` as write() gives them, appended to `parent`.
void appendSegments(QDomDocument& document, QDomElement& parent, const MassSegmentModel& segments);
// Writes an XML document indented as the program's files are; the old file is kept when the
// write fails.
WriteResult writeDocument(const QString& fileName, const QDomDocument& document);

} // namespace MassSegmentFile
