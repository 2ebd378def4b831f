#include "opensimfiles.h"

#include "export/c3dexport.h"
#include "gait/motionanalysis.h"
#include "model/bvhfile.h"
#include "model/bvhjoint.h"
#include "model/csvwriter.h"
#include "model/numberformat.h"
#include "model/poseevaluator.h"
#include "skeleton/motionsetup.h"

#include <QFileInfo>
#include <QSet>

#include <Eigen/Geometry>

#include <cmath>

namespace {

using Vector = Eigen::Vector3d;

QString number(double value)
{
    return std::isfinite(value) ? NumberFormat::general(value, 7) : QStringLiteral("NaN");
}

} // namespace

OpenSimFiles::Frame OpenSimFiles::frameOf(const BvhFile& motion, const MotionSetup& setup,
                                          const ExportOptions& options, Units units)
{
    Frame frame;
    frame.units = units == Units::Metres ? QStringLiteral("m") : QStringLiteral("mm");
    frame.scale = setup.unit.millimetres / (units == Units::Metres ? 1000.0 : 1.0);
    const Vector up = setup.upAxisOf(motion).cast<double>().normalized();
    // First the up axis onto +Y, by the shortest turn.
    const Eigen::Matrix3d upright =
        Eigen::Quaterniond::FromTwoVectors(up, Vector::UnitY()).toRotationMatrix();
    frame.turn = upright;
    if (!motion.root || options.range.isEmpty() || options.range.last >= motion.rowCount())
        return frame;
    // Then the way the root went, on the floor, onto +X.
    PoseEvaluator pose(motion.root, options.convention);
    const auto rootAt = [&](int row) {
        const std::span<const double> values = motion.frames[row];
        pose.evaluateRow(values);
        return Vector(upright * pose.getPosition(0).cast<double>());
    };
    Vector travel = rootAt(options.range.last) - rootAt(options.range.first);
    travel.y() = 0;
    if (travel.norm() < 0.2 * setup.stature)
        return frame;
    const double angle = std::atan2(-travel.z(), travel.x()); // about +Y, from +X
    frame.turn = Eigen::AngleAxisd(-angle, Vector::UnitY()).toRotationMatrix() * upright;
    frame.turnedToWalk = true;
    return frame;
}

QStringList OpenSimFiles::markerNames(const BvhFile& motion, const QList<bool>& selection)
{
    QStringList names;
    if (!motion.root)
        return names;
    const QList<BvhJoint*> joints = motion.root->getAllJoints();
    QSet<QString> taken;
    for (qsizetype i = 0; i < joints.size(); ++i) {
        if (!selection.value(i))
            continue;
        const BvhJoint* joint = joints[i];
        QString name = joint->getName();
        if (name == QLatin1String("End Site") && joint->getParentJoint())
            name = joint->getParentJoint()->getName() + QStringLiteral("_End");
        name.replace(QLatin1Char('\t'), QLatin1Char('_'))
            .replace(QLatin1Char(' '), QLatin1Char('_'));
        QString unique = name;
        for (int k = 2; taken.contains(unique); ++k)
            unique = QStringLiteral("%1_%2").arg(name).arg(k);
        taken.insert(unique);
        names.append(unique);
    }
    return names;
}

WriteResult OpenSimFiles::writeTrc(const BvhFile& motion, const QString& fileName,
                                   const ExportOptions& options, const Frame& frame)
{
    if (!motion.root || options.range.isEmpty() || options.range.last >= motion.rowCount())
        return WriteResult::failure(fileName, QStringLiteral("The range holds no frame."));
    const QStringList names = markerNames(motion, options.jointSelection);
    QList<qsizetype> joints;
    for (qsizetype i = 0; i < options.jointSelection.size(); ++i) {
        if (options.jointSelection[i])
            joints.append(i);
    }
    CsvWriter file(fileName);
    if (!file.open())
        return file.finish();
    const int frames = options.range.count();
    // The rate the C3D file declares: frame times are written rounded (0.0083333 for 120).
    const QString rate = QString::number(C3DExport::frameRate(motion.frameTime));
    file.addText(
        QStringLiteral("PathFileType\t4\t(X/Y/Z)\t%1").arg(QFileInfo(fileName).fileName()));
    file.endLine();
    file.addText("DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\t"
                 "OrigDataStartFrame\tOrigNumFrames");
    file.endLine();
    file.addText(QStringLiteral("%1\t%1\t%2\t%3\t%4\t%1\t%5\t%6")
                     .arg(rate)
                     .arg(frames)
                     .arg(names.size())
                     .arg(frame.units)
                     .arg(options.range.first + 1)
                     .arg(motion.rowCount()));
    file.endLine();
    QString markers = QStringLiteral("Frame#\tTime");
    QString axes = QStringLiteral("\t");
    for (qsizetype k = 0; k < names.size(); ++k) {
        markers += QLatin1Char('\t') + names[k] + QStringLiteral("\t\t");
        axes += QStringLiteral("\tX%1\tY%1\tZ%1").arg(k + 1);
    }
    file.addText(markers);
    file.endLine();
    file.addText(axes);
    file.endLine();
    file.endLine();
    PoseEvaluator pose(motion.root, options.convention);
    for (int row = options.range.first; row <= options.range.last; ++row) {
        const std::span<const double> values = motion.frames[row];
        pose.evaluateRow(values);
        QString line = QStringLiteral("%1\t%2")
                           .arg(row - options.range.first + 1)
                           .arg(number(row * motion.frameTime));
        for (const qsizetype joint : joints) {
            const Vector p = frame.apply(pose.getPosition(joint).cast<double>());
            if (!p.allFinite())
                return WriteResult::failure(
                    fileName,
                    QStringLiteral("At frame %1 the pose is not a finite number.").arg(row));
            line += QStringLiteral("\t%1\t%2\t%3").arg(number(p.x()), number(p.y()), number(p.z()));
        }
        file.addText(line);
        file.endLine();
    }
    return file.finish();
}

WriteResult OpenSimFiles::writeMot(const MotionAnalysis& a, const QString& fileName,
                                   const Frame& frame)
{
    if (!a.ok())
        return WriteResult::failure(fileName, a.errorString);
    QStringList columns = {QStringLiteral("time"),      QStringLiteral("com_x"),
                           QStringLiteral("com_y"),     QStringLiteral("com_z"),
                           QStringLiteral("xcom_x"),    QStringLiteral("xcom_y"),
                           QStringLiteral("xcom_z"),    QStringLiteral("mos"),
                           QStringLiteral("mos_along"), QStringLiteral("mos_across")};
    std::vector<const std::vector<double>*> angles;
    for (int side = 0; side < 2; ++side) {
        for (int angle = 0; angle < JointAngles::angleCount; ++angle) {
            if (!a.angles.has(JointAngles::Angle(angle)))
                continue;
            columns.append((side == 0 ? QStringLiteral("left_") : QStringLiteral("right_")) +
                           JointAngles::nameOf(JointAngles::Angle(angle)).toLower());
            angles.push_back(&a.angles.degrees[size_t(side)][size_t(angle)]);
        }
    }
    CsvWriter file(fileName);
    if (!file.open())
        return file.finish();
    file.addText(QFileInfo(fileName).completeBaseName());
    file.endLine();
    file.addText("version=1");
    file.endLine();
    file.addText(QStringLiteral("nRows=%1").arg(a.size()));
    file.endLine();
    file.addText(QStringLiteral("nColumns=%1").arg(columns.size()));
    file.endLine();
    file.addText("inDegrees=yes");
    file.endLine();
    file.addText("endheader");
    file.endLine();
    file.addText(columns.join(QLatin1Char('\t')));
    file.endLine();
    const double toFile = frame.scale;
    for (size_t i = 0; i < size_t(a.size()); ++i) {
        const Vector centre = frame.apply(a.centre[i]);
        const Vector xcom = frame.apply(a.extrapolatedCentre[i]);
        QString line = number((a.range.first + double(i)) * a.frameTime);
        for (const double value :
             {centre.x(), centre.y(), centre.z(), xcom.x(), xcom.y(), xcom.z(),
              a.margin[i] * toFile, a.marginAlong[i] * toFile, a.marginAcross[i] * toFile})
            line += QLatin1Char('\t') + number(value);
        for (const std::vector<double>* angle : angles)
            line += QLatin1Char('\t') + number((*angle)[i]);
        file.addText(line);
        file.endLine();
    }
    return file.finish();
}
