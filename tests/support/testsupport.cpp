#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace TestSupport {

QString dataPath(const QString& relativePath)
{
    return QStringLiteral(KINOVANE_TEST_DATA "/") + relativePath;
}

QStringList realBvhFiles()
{
    return QDir(dataPath(QStringLiteral("real")))
        .entryList({QStringLiteral("*.bvh")}, QDir::Files, QDir::Name);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(contents);
    return path;
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

QString toString(const Vector3f& v)
{
    return QStringLiteral("(%1, %2, %3)")
        .arg(v.x(), 0, 'g', 9)
        .arg(v.y(), 0, 'g', 9)
        .arg(v.z(), 0, 'g', 9);
}

QByteArray smallMotion(int frames, const QByteArray& frameTime)
{
    QByteArray text = "HIERARCHY\n"
                      "ROOT Hips\n"
                      "{\n"
                      "\tOFFSET\t0.0\t0.0\t0.0\n"
                      "\tCHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation\n"
                      "\tJOINT Spine\n"
                      "\t{\n"
                      "\t\tOFFSET\t0.0\t10.0\t0.0\n"
                      "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                      "\t\tEnd Site\n"
                      "\t\t{\n"
                      "\t\t\tOFFSET\t0.0\t5.0\t0.0\n"
                      "\t\t}\n"
                      "\t}\n"
                      "\tJOINT LeftLeg\n"
                      "\t{\n"
                      "\t\tOFFSET\t3.0\t-2.0\t0.0\n"
                      "\t\tCHANNELS 3 Zrotation Xrotation Yrotation\n"
                      "\t\tEnd Site\n"
                      "\t\t{\n"
                      "\t\t\tOFFSET\t0.0\t-8.0\t0.0\n"
                      "\t\t}\n"
                      "\t}\n"
                      "}\n"
                      "MOTION\n";
    text += "Frames:\t" + QByteArray::number(frames) + "\n";
    text += "Frame Time: " + frameTime + "\n";
    for (int f = 0; f < frames; ++f) {
        QByteArray row;
        for (int k = 0; k < 12; ++k)
            row += (k ? "\t" : "") + QByteArray::number(f * 10 + k);
        text += row + "\n";
    }
    return text;
}

} // namespace TestSupport
