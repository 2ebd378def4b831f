#include "support/testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>

namespace TestSupport {

QList<QList<double>> rowList(const FrameRows& rows)
{
    QList<QList<double>> list;
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        list.append(QList<double>(rows[r].begin(), rows[r].end()));
    return list;
}

FrameRows frameRows(const QList<QList<double>>& rows)
{
    FrameRows table(rows.size(), rows.isEmpty() ? 0 : rows.first().size());
    for (qsizetype r = 0; r < rows.size(); ++r)
        std::copy_n(rows[r].begin(), std::min(rows[r].size(), table.channelCount()),
                    table.rowToChange(r).begin());
    return table;
}

QString dataPath(const QString& relativePath)
{
    return QStringLiteral(KINOVANE_TEST_DATA "/") + relativePath;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
}

BvhReadResult readBvh(BvhFile& file, const QByteArray& text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return BvhReader(file).read(buffer);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool nearlyEqual(const Vector3f& a, const Vector3f& b, float tolerance)
{
    return (a - b).cwiseAbs().maxCoeff() <= tolerance;
}

bool sameBits(const Vector3f& a, const Vector3f& b)
{
    return std::memcmp(a.data(), b.data(), sizeof(float) * 3) == 0;
}

QString toString(const Vector3f& v)
{
    return QString::asprintf("(%.9g, %.9g, %.9g)", v.x(), v.y(), v.z());
}

Vector3f toVector(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return Vector3f(words.value(0).toFloat(), words.value(1).toFloat(), words.value(2).toFloat());
}

QByteArray smallMotion(int frames, const QByteArray& frameTime)
{
    QByteArray text = readFile(dataPath("input/small-hierarchy.bvh")) + "MOTION\nFrames:\t" +
                      QByteArray::number(frames) + "\nFrame Time: " + frameTime + "\n";
    for (int f = 0; f < frames; ++f) {
        for (int k = 0; k < 12; ++k)
            text += QByteArray::number(f * 10 + k) + (k < 11 ? "\t" : "\n");
    }
    return text;
}

QByteArray branchedMotion(int jointCount, int frames)
{
    static const char* const directions[5] = {"0 10 0", "10 0 0", "-10 0 0", "3 -10 0", "-3 -10 0"};
    jointCount = std::max(jointCount, 6);
    QByteArray text = "HIERARCHY\nROOT Hips\n{\n\tOFFSET 0 0 0\n"
                      "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation "
                      "Yrotation\n";
    int rotatedJoints = 0;
    int name = 0;
    const int perChain = (jointCount - 1) / 5;
    for (int chain = 0; chain < 5; ++chain) {
        const int length = perChain + (chain < (jointCount - 1) % 5 ? 1 : 0);
        for (int i = 0; i < length - 1; ++i) {
            text += "JOINT Joint" + QByteArray::number(++name) + "\n{\nOFFSET " +
                    directions[chain] + "\nCHANNELS 3 Zrotation Xrotation Yrotation\n";
            ++rotatedJoints;
        }
        text += QByteArray("End Site\n{\nOFFSET ") + directions[chain] + "\n}\n";
        text += QByteArray(length - 1, '}').replace("}", "}\n");
    }
    text += "}\nMOTION\nFrames: " + QByteArray::number(frames) + "\nFrame Time: 0.0333333\n";
    for (int f = 0; f < frames; ++f) {
        QByteArray row = "0 90 0 0 " + QByteArray::number(f) + " 0";
        for (int j = 0; j < rotatedJoints; ++j)
            row += " " + QByteArray::number(f + j % 4) + " " + QByteArray::number(2 * f) + " 1";
        text += row + "\n";
    }
    return text;
}

bool loadMotion(BvhFile& file, const QByteArray& text)
{
    return readBvh(file, text).ok();
}

QList<QByteArray> readLines(const QString& path)
{
    QList<QByteArray> lines = readFile(path).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray section(const QString& path, const QByteArray& name)
{
    const QByteArray text = '\n' + readFile(path);
    const QByteArray heading = "\n== " + name + '\n';
    const qsizetype start = text.indexOf(heading);
    if (start < 0)
        return {};
    const qsizetype first = start + heading.size();
    const qsizetype end = text.indexOf("\n== ", first - 1);
    return text.mid(first, end < 0 ? -1 : end + 1 - first);
}

QList<QStringList> tableRows(const QString& path)
{
    QList<QStringList> rows;
    for (const QByteArray& line : readLines(path)) {
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;
        QStringList cells = QString::fromUtf8(line).split(QLatin1Char('|'));
        for (QString& cell : cells)
            cell = cell.trimmed();
        rows.append(cells);
    }
    return rows;
}

MassSegmentModel segmentModel(const QString& segments)
{
    MassSegmentModel model;
    for (const QString& segment : segments.split(';', Qt::SkipEmptyParts)) {
        const QStringList joints = segment.section(' ', 0, -3).split('>');
        model.append({joints.value(0), joints.value(1), segment.section(' ', -2, -2).toDouble(),
                      segment.section(' ', -1).toDouble()});
    }
    return model;
}

QString segmentText(const MassSegmentModel& segments)
{
    QString text;
    for (const MassSegment& segment : segments)
        text += QStringLiteral("%1>%2 %3 %4;")
                    .arg(segment.startJoint, segment.endJoint)
                    .arg(segment.proximalDistance)
                    .arg(segment.mass);
    return text;
}

static QList<QStringList> walkRenamings()
{
    QList<QStringList> renamings;
    for (const QByteArray& line : readLines(dataPath(QStringLiteral("input/renamed-walks.txt")))) {
        if (!line.startsWith('#'))
            renamings.append(QString::fromUtf8(line).split(QLatin1Char(' ')));
    }
    return renamings;
}

QStringList renamedWalkKinds()
{
    QStringList kinds;
    for (const QStringList& words : walkRenamings())
        kinds.append(words.first());
    return kinds;
}

QByteArray renamedWalk(const QString& kind)
{
    QString text =
        QString::fromUtf8(readFile(QStringLiteral(KINOVANE_SOURCE_DIR "/samples/walk.bvh")));
    for (const QStringList& words : walkRenamings()) {
        if (words.first() != kind)
            continue;
        for (const QString& pair : words.mid(1)) {
            const QStringList names = pair.split(QLatin1Char('='));
            const QRegularExpression joint(
                QStringLiteral("((ROOT|JOINT)\\s+)%1\\b").arg(names.value(0)));
            text.replace(joint, QStringLiteral("\\1") + names.value(1));
        }
    }
    return text.toUtf8();
}

QByteArray scrambledNames(const QByteArray& text)
{
    static const QRegularExpression joint(QStringLiteral("^(\\s*(?:ROOT|JOINT)\\s+)\\S+"),
                                          QRegularExpression::MultilineOption);
    QString scrambled = QString::fromUtf8(text);
    quint32 count = 0;
    qsizetype from = 0;
    for (QRegularExpressionMatch match = joint.match(scrambled, from); match.hasMatch();
         match = joint.match(scrambled, from)) {
        const QString token = QStringLiteral("J") + QString::number((++count) * 2654435761u, 16);
        scrambled.replace(match.capturedStart(), match.capturedLength(), match.captured(1) + token);
        from = match.capturedStart() + match.captured(1).size() + token.size();
    }
    return scrambled.toUtf8();
}

QByteArray recordingText(const QString& entry)
{
    return entry.startsWith(QLatin1String("walk:")) ? renamedWalk(entry.mid(5))
                                                    : readFile(dataPath(entry));
}

} // namespace TestSupport
