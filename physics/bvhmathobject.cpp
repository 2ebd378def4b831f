#include "bvhmathobject.h"

#include "model/bvhjoint.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"

#include <QDebug>
#include <QDomDocument>
#include <QDomImplementation>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

BvhMathObject::BvhMathObject()
{
    clearSegments();
    readMassSegments(QStringLiteral("defaultMassSegments.xml"));
}

BvhMathObject::~BvhMathObject() = default;

void BvhMathObject::setBvhFile(BvhFile* file)
{
    bvhFile = file;
    rootJoint = file ? file->root.data() : nullptr;
}

void BvhMathObject::clearSegments()
{
    startJointNames.clear();
    endJointNames.clear();
    startJoints.clear();
    endJoints.clear();
    proximalDistances.clear();
    masses.clear();
    segmentCentres.clear();
    segmentCentreIndices.clear();
}

qsizetype BvhMathObject::getSegmentCount() const
{
    return std::min(
        {startJointNames.size(), endJointNames.size(), proximalDistances.size(), masses.size()});
}

// ---- The XML file ----

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

WriteResult BvhMathObject::writeMassSegments(const QString& fileName) const
{
    QDomDocument document(QDomImplementation().createDocumentType(rootTag, {}, {}));
    QDomElement root = document.createElement(rootTag);
    document.appendChild(root);
    // The editor fills the lists one by one, so they may differ in length while it works;
    // a missing value is written as empty text or 0.
    for (qsizetype i = 0; i < startJointNames.size(); ++i) {
        QDomElement segment = document.createElement(segmentTag);
        root.appendChild(segment);
        appendValue(document, segment, valueTags[0], startJointNames.value(i));
        appendValue(document, segment, valueTags[1], endJointNames.value(i));
        appendValue(document, segment, valueTags[2],
                    NumberFormat::general(proximalDistances.value(i)));
        appendValue(document, segment, valueTags[3], NumberFormat::general(masses.value(i)));
    }

    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return WriteResult::failure(fileName, file.errorString());
    const QByteArray text = document.toString(3).toUtf8();
    return WriteResult::commit(file, file.write(text) != text.size());
}

// Reads the four values of one Segment element into `texts` (in valueTags order). False, with a
// diagnostic, when one of them is missing; a repeated one is reported and the first kept.
static bool readSegmentTexts(const QDomElement& segment, int number, std::array<QString, 4>& texts)
{
    std::array<bool, 4> found = {};
    for (QDomNode child = segment.firstChild(); !child.isNull(); child = child.nextSibling()) {
        const auto tag = std::find(valueTags.begin(), valueTags.end(), child.nodeName());
        if (tag == valueTags.end())
            continue;
        const size_t index = size_t(tag - valueTags.begin());
        if (found[index]) {
            qDebug() << "Mass segment" << number << "repeats" << *tag << "- the first is used";
            continue;
        }
        found[index] = true;
        texts[index] = child.firstChild().nodeValue(); // a null node gives an empty string
    }
    for (size_t index = 0; index < valueTags.size(); ++index) {
        if (!found[index]) {
            qDebug() << "Mass segment" << number << "has no" << valueTags[index]
                     << "and is ignored";
            return false;
        }
    }
    return true;
}

// A mass-segment file holds a few dozen segments: some kilobytes, three levels deep. Files far
// beyond that are refused before the document tree is built, which would take many times the
// file's size in memory and, for deep nesting, time that grows with the square of the depth.
static constexpr qint64 maxMassSegmentFileSize = 4 << 20;
static constexpr int maxMassSegmentDepth = 256;

// Why the open file cannot be a mass-segment file, or an empty string. Malformed XML is left to
// the document parser, which says where.
static QString checkShape(QFile& file)
{
    if (file.size() > maxMassSegmentFileSize)
        return QStringLiteral("it is larger than %1 bytes").arg(maxMassSegmentFileSize);
    QXmlStreamReader xml(&file);
    int depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > maxMassSegmentDepth)
            return QStringLiteral("its elements nest deeper than %1 levels (line %2)")
                .arg(maxMassSegmentDepth)
                .arg(xml.lineNumber());
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    file.seek(0);
    return {};
}

bool BvhMathObject::readMassSegments(const QString& fileName, QString* errorString)
{
    // A directory or a named pipe is no model; opening a pipe would wait for a writer.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile()) {
        if (errorString)
            *errorString = QStringLiteral("Cannot read %1: it is not a regular file").arg(fileName);
        return false;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (errorString)
            *errorString = QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (const QString problem = checkShape(file); !problem.isEmpty()) {
        if (errorString)
            *errorString =
                QStringLiteral("%1 is not a mass-segment file: %2").arg(fileName, problem);
        return false;
    }
    QDomDocument document;
    QString message;
    int line = 0, column = 0;
    if (!document.setContent(&file, false, &message, &line, &column)) {
        if (errorString)
            *errorString = QStringLiteral("%1 is not an XML file: %2 (line %3, column %4)")
                               .arg(fileName, message)
                               .arg(line)
                               .arg(column);
        return false;
    }

    clearSegments();
    // Every Segment anywhere in the document counts; the root's name is not checked, so files
    // written under another root name still load.
    const QDomNodeList segments = document.elementsByTagName(segmentTag);
    for (int n = 0; n < segments.size(); ++n) {
        std::array<QString, 4> texts;
        if (!readSegmentTexts(segments.at(n).toElement(), n, texts))
            continue;
        startJointNames.append(texts[0]);
        endJointNames.append(texts[1]);
        proximalDistances.append(NumberFormat::toDouble(texts[2].toStdString()));
        masses.append(NumberFormat::toDouble(texts[3].toStdString()));
    }
    return true;
}

// ---- Binding ----

static QPointer<BvhJoint> findMassJoint(const BvhJoint& root, const QString& name)
{
    BvhJoint* joint = root.getJointByName(name);
    if (!joint)
        qDebug() << "Couldn't find mass joint" << name;
    return joint;
}

void BvhMathObject::findMassJoints()
{
    startJoints.clear();
    endJoints.clear();
    const qsizetype count = getSegmentCount();
    if (count != startJointNames.size() || count != endJointNames.size() ||
        count != proximalDistances.size() || count != masses.size())
        qDebug() << "Mass segment lists differ in length; the first" << count
                 << "segments are used";
    if (!rootJoint)
        return;
    for (qsizetype i = 0; i < count; ++i) {
        startJoints.append(findMassJoint(*rootJoint, startJointNames[i]));
        endJoints.append(findMassJoint(*rootJoint, endJointNames[i]));
    }
}

// ---- Centres of mass ----

// In single precision, axis by axis: d = 0 is the start joint, 1 the end joint, and values
// outside 0..1 extend the line through the two.
static Vector3f segmentCentre(const Vector3f& start, const Vector3f& end, double proximalDistance)
{
    const float d = float(proximalDistance);
    return Vector3f(start.x() + (end.x() - start.x()) * d, start.y() + (end.y() - start.y()) * d,
                    start.z() + (end.z() - start.z()) * d);
}

// Segments that can be computed now: bound to two live joints, with a proximal distance.
static qsizetype boundCount(const BvhMathObject& object)
{
    return std::min(
        {object.startJoints.size(), object.endJoints.size(), object.proximalDistances.size()});
}

QList<Vector3f> BvhMathObject::computeSegmentCentres()
{
    segmentCentres.clear();
    segmentCentreIndices.clear();
    const qsizetype count = boundCount(*this);
    for (qsizetype i = 0; i < count; ++i) {
        const BvhJoint* start = startJoints[i];
        const BvhJoint* end = endJoints[i];
        if (!start || !end)
            continue;
        segmentCentres.append(segmentCentre(start->getAbsolutePosition(),
                                            end->getAbsolutePosition(), proximalDistances[i]));
        segmentCentreIndices.append(i);
    }
    return segmentCentres;
}

Vector3f BvhMathObject::computeBodyCentre() const
{
    double x = 0.0, y = 0.0, z = 0.0;
    for (qsizetype i = 0; i < segmentCentres.size() && i < segmentCentreIndices.size(); ++i) {
        const qsizetype segment = segmentCentreIndices[i];
        if (segment >= masses.size())
            continue;
        const double mass = masses[segment];
        x += double(segmentCentres[i].x()) * mass;
        y += double(segmentCentres[i].y()) * mass;
        z += double(segmentCentres[i].z()) * mass;
    }
    return Vector3f(float(x), float(y), float(z));
}

// ---- Centre-of-mass table ----

WriteResult BvhMathObject::exportMassCentreCsv(const QString& fileName, int startFrame,
                                               int endFrame, ProgressSink* progress)
{
    if (!bvhFile || !rootJoint)
        return WriteResult::failure(fileName, QStringLiteral("No motion is loaded."));
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    writer.addText("TIME,X,Y,Z");
    writer.endLine();
    findMassJoints();

    // The same positions as getAbsolutePosition(), digit for digit, with each joint's matrix
    // built once per frame instead of once per segment end, and straight from the frame rows.
    PoseEvaluator evaluator(rootJoint);
    QHash<const BvhJoint*, qsizetype> indexOf;
    for (qsizetype i = 0; i < evaluator.getJoints().size(); ++i)
        indexOf.insert(evaluator.getJoints()[i], i);
    struct BoundSegment
    {
        qsizetype segment, start, end;
    };
    std::vector<BoundSegment> bound;
    for (qsizetype i = 0; i < boundCount(*this); ++i) {
        if (startJoints[i] && endJoints[i])
            bound.push_back({i, indexOf.value(startJoints[i]), indexOf.value(endJoints[i])});
    }

    const int rows = bvhFile->rowCount();
    const int first = std::max(startFrame, 0);
    const int stop = std::min(endFrame == -1 ? rows : endFrame + 1, rows); // end included
    PercentProgress percent(progress, first, stop);
    if (progress)
        progress->begin({}, {}, 100);
    for (int frame = first; frame < stop; ++frame) {
        if (percent.advance(frame))
            break;
        const QList<double>& row = std::as_const(bvhFile->frames)[frame];
        evaluator.evaluateRow(row.constData(), row.size());
        segmentCentres.clear();
        segmentCentreIndices.clear();
        for (const BoundSegment& segment : bound) {
            segmentCentres.append(segmentCentre(evaluator.getPosition(segment.start),
                                                evaluator.getPosition(segment.end),
                                                proximalDistances[segment.segment]));
            segmentCentreIndices.append(segment.segment);
        }
        const Vector3f centre = computeBodyCentre();
        writer.addNumber(double(frame) * bvhFile->frameTime);
        writer.addNumberCell(centre.x());
        writer.addNumberCell(centre.y());
        writer.addNumberCell(centre.z());
        writer.endLine();
    }
    if (progress)
        progress->end();
    bvhFile->setCurrentFrame(0);
    return writer.finish();
}

// ---- Interpolation ----

void BvhMathObject::normalizeQuaternion(Vector4f& q)
{
    const float length =
        std::sqrt((q.x() * q.x() + q.y() * q.y()) + (q.z() * q.z() + q.w() * q.w()));
    if (!(length > 0.0f) || !std::isfinite(length)) {
        q = Vector4f(0, 0, 0, 1);
        return;
    }
    const float scale = 1.0f / length;
    q = Vector4f(q.x() * scale, q.y() * scale, q.z() * scale, q.w() * scale);
}

// Angles and matrices in the joint's own convention: under Declared in its channel order, with
// the full range of every angle, so interpolated angles are written back as the file means them.
static Vector4f rotationQuaternion(const BvhJoint& joint)
{
    const Vector3f r = joint.getRotation();
    if (joint.getRotationOrder() == RotationOrder::Declared)
        return BvhJoint::matrixToQuaternion(BvhJoint::eulerToMatrix(r, joint.getRotationAxes()));
    return BvhJoint::matrixToQuaternion(BvhJoint::eulerToMatrix(r.x(), r.y(), r.z()));
}

static Vector3f rotationAngles(const BvhJoint& joint, const Matrix3f& matrix)
{
    if (joint.getRotationOrder() == RotationOrder::Declared)
        return BvhJoint::matrixToEuler(matrix, joint.getRotationAxes());
    return BvhJoint::matrixToEuler(matrix);
}

void BvhMathObject::interpolateJoints(const QList<bool>& selection, int leftFrame, int rightFrame,
                                      ProgressSink* progress)
{
    if (!bvhFile || !rootJoint)
        return;
    const QList<BvhJoint*> joints = rootJoint->getAllJoints();
    if (progress)
        progress->begin({}, {}, int(selection.size()));
    // Cancelling has no effect: every selected joint is finished, so no joint is left half
    // interpolated.
    for (qsizetype i = 0; i < selection.size(); ++i) {
        if (selection[i] && i < joints.size())
            interpolateJoint(joints[i], leftFrame, rightFrame);
        if (progress)
            progress->setValue(int(i));
    }
    if (progress)
        progress->end();
}

void BvhMathObject::interpolateJoint(BvhJoint* joint, int leftFrame, int rightFrame)
{
    if (!joint || !bvhFile || !bvhFile->root)
        return;
    qDebug() << "interpolateJoint" << joint->getName() << leftFrame << rightFrame;
    const int left = std::max(leftFrame, 0);
    const int right = std::min(rightFrame, bvhFile->rowCount() - 1);
    const int steps = right - left;
    if (steps < 1)
        return;

    bvhFile->setCurrentFrame(left);
    const Vector4f q0 = rotationQuaternion(*joint);
    bvhFile->setCurrentFrame(right);
    Vector4f q1 = rotationQuaternion(*joint);
    // q and -q are the same rotation, and both ends come with w >= 0 whatever the angle
    // between them; blending across a negative dot product would take the long way round
    // (and pass through zero for opposite quaternions).
    if (q0.dot(q1) < 0.0f)
        q1 = -q1;

    for (int k = 1; k <= steps; ++k) {
        bvhFile->setCurrentFrame(left + k);
        const float t = float(double(k) / double(steps));
        const float u = 1.0f - t;
        Vector4f q(u * q0.x() + t * q1.x(), u * q0.y() + t * q1.y(), u * q0.z() + t * q1.z(),
                   u * q0.w() + t * q1.w());
        normalizeQuaternion(q);
        joint->setRotation(rotationAngles(*joint, BvhJoint::quaternionToMatrix(q)));
        bvhFile->updateData(joint);
    }
}
