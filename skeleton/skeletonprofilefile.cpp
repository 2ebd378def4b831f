#include "skeletonprofilefile.h"

#include "model/numberformat.h"
#include "physics/masssegmentfile.h"

#include <QDomDocument>
#include <QDomImplementation>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>

namespace SkeletonProfileFile {

// A profile is a page of text; anything much larger is no profile.
static constexpr qint64 maxFileSize = 1 << 20;

// The value of one attribute among `choices`; false with a message for another value.
template <typename T>
static bool readChoice(const QDomElement& element, const QString& attribute,
                       const QList<std::pair<QString, T>>& choices, T& value, QString& error)
{
    if (!element.hasAttribute(attribute))
        return true;
    const QString text = element.attribute(attribute).trimmed();
    QStringList names;
    for (const auto& [name, choice] : choices) {
        if (text == name) {
            value = choice;
            return true;
        }
        names.append(name);
    }
    error = QStringLiteral("%1=\"%2\" of %3 is not one of %4")
                .arg(attribute, text, element.tagName(), names.join(QStringLiteral(", ")));
    return false;
}

static bool readConvention(const QDomElement& element, PoseConvention& convention, QString& error)
{
    if (element.isNull())
        return true;
    if (!readChoice<RotationOrder>(element, QStringLiteral("rotationOrder"),
                                   {{QStringLiteral("fixed"), RotationOrder::Fixed},
                                    {QStringLiteral("declared"), RotationOrder::Declared}},
                                   convention.rotationOrder, error) ||
        !readChoice<PositionChannels>(
            element, QStringLiteral("positionChannels"),
            {{QStringLiteral("add"), PositionChannels::AddToOffset},
             {QStringLiteral("replace"), PositionChannels::ReplaceOffset}},
            convention.positionChannels, error))
        return false;
    const QString pi = element.attribute(QStringLiteral("pi"), QStringLiteral("approximate"));
    if (pi == QLatin1String("approximate")) {
        convention.pi = PoseConvention::approximatePi;
    } else if (pi == QLatin1String("exact")) {
        convention.pi = PoseConvention::exactPi;
    } else {
        bool ok = false;
        const double value = NumberFormat::toDouble(pi.toStdString(), &ok);
        if (!ok || !(value > 3.0 && value < 3.3)) {
            error =
                QStringLiteral("pi=\"%1\" is not approximate, exact or a number near 3.14").arg(pi);
            return false;
        }
        convention.pi = float(value);
    }
    return true;
}

static bool readUnit(const QDomElement& element, LengthUnit& unit, QString& error)
{
    if (element.isNull())
        return true;
    const QString name = element.text().trimmed();
    if (!element.hasAttribute(QStringLiteral("millimetres"))) {
        if (const std::optional<LengthUnit> known = LengthUnit::fromName(name)) {
            unit = *known;
            return true;
        }
        error = QStringLiteral("the unit \"%1\" is not cm, m, mm or in, and has no millimetres "
                               "attribute")
                    .arg(name);
        return false;
    }
    bool ok = false;
    const double millimetres =
        NumberFormat::toDouble(element.attribute(QStringLiteral("millimetres")).toStdString(), &ok);
    if (!ok || !(millimetres > 0.0) || !std::isfinite(millimetres) || name.isEmpty()) {
        error = QStringLiteral("the unit \"%1\" needs a name and a positive millimetres value")
                    .arg(name);
        return false;
    }
    unit = {name, millimetres};
    return true;
}

static SkeletonProfileReadResult failure(const QString& fileName, const QString& problem)
{
    SkeletonProfileReadResult result;
    result.errorString = QStringLiteral("%1 is not a skeleton profile: %2").arg(fileName, problem);
    return result;
}

SkeletonProfileReadResult read(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile())
        return failure(fileName, QStringLiteral("it is not a regular file"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        SkeletonProfileReadResult result;
        result.errorString = QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString());
        return result;
    }
    if (file.size() > maxFileSize)
        return failure(fileName, QStringLiteral("it is larger than %1 bytes").arg(maxFileSize));
    QDomDocument document;
    QString message;
    int line = 0, column = 0;
    if (!document.setContent(&file, false, &message, &line, &column))
        return failure(
            fileName, QStringLiteral("%1 (line %2, column %3)").arg(message).arg(line).arg(column));
    const QDomElement root = document.documentElement();
    if (root.tagName() != QLatin1String("SkeletonProfile"))
        return failure(fileName, QStringLiteral("its root element is not SkeletonProfile"));

    SkeletonProfileReadResult result;
    SkeletonProfile& profile = result.profile;
    profile.name = root.attribute(QStringLiteral("name")).trimmed();
    profile.title = root.attribute(QStringLiteral("title"), profile.name).trimmed();
    if (profile.name.isEmpty() || profile.name.contains(QLatin1Char(' ')))
        return failure(fileName, QStringLiteral("it has no name, or one with a space"));
    QString problem;
    if (!readConvention(root.firstChildElement(QStringLiteral("Convention")), profile.convention,
                        problem) ||
        !readUnit(root.firstChildElement(QStringLiteral("Unit")), profile.unit, problem))
        return failure(fileName, problem);
    const QDomElement names = root.firstChildElement(QStringLiteral("JointNames"));
    if (names.attribute(QStringLiteral("caseSensitive"), QStringLiteral("true")) ==
        QLatin1String("false"))
        profile.nameCase = Qt::CaseInsensitive;
    profile.prefixes =
        names.attribute(QStringLiteral("prefixes")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    profile.skeletonJoints =
        root.firstChildElement(QStringLiteral("Joints"))
            .text()
            .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (QDomElement joint = root.firstChildElement(QStringLiteral("Joint")); !joint.isNull();
         joint = joint.nextSiblingElement(QStringLiteral("Joint"))) {
        const QString landmark = joint.attribute(QStringLiteral("concept")).trimmed();
        QStringList jointNames = joint.text().split(QLatin1Char('|'), Qt::SkipEmptyParts);
        for (QString& name : jointNames)
            name = name.trimmed();
        jointNames.removeAll(QString());
        if (landmark.isEmpty() || jointNames.isEmpty()) {
            result.warnings.append(QStringLiteral("A Joint element at line %1 lacks its concept "
                                                  "or names and is left out.")
                                       .arg(joint.lineNumber()));
            continue;
        }
        profile.landmarks.append({landmark, jointNames});
    }
    result.modelFile = root.firstChildElement(QStringLiteral("Model")).text().trimmed();
    if (!root.firstChildElement(QStringLiteral("Segment")).isNull()) {
        const MassSegmentReadResult model = MassSegmentFile::read(fileName);
        profile.segments = model.segments;
        result.warnings += model.warnings;
    }
    result.ok = true;
    return result;
}

QString profileNameOf(const QString& fileName)
{
    QString name = QFileInfo(fileName).fileName();
    for (const QLatin1String suffix : {QLatin1String(".profile.xml"), QLatin1String(".xml")}) {
        if (name.endsWith(suffix, Qt::CaseInsensitive)) {
            name.chop(suffix.size());
            break;
        }
    }
    name.replace(QLatin1Char(' '), QLatin1Char('-'));
    return name.isEmpty() ? QStringLiteral("profile") : name;
}

WriteResult write(const QString& fileName, const SkeletonProfile& profile)
{
    const QString rootTag = QStringLiteral("SkeletonProfile");
    QDomDocument document(QDomImplementation().createDocumentType(rootTag, {}, {}));
    QDomElement root = document.createElement(rootTag);
    document.appendChild(root);
    root.setAttribute(QStringLiteral("name"), profile.name);
    root.setAttribute(QStringLiteral("title"), profile.title);
    const auto append = [&](const QString& tag, const QString& text = QString()) {
        QDomElement element = document.createElement(tag);
        if (!text.isEmpty())
            element.appendChild(document.createTextNode(text));
        root.appendChild(element);
        return element;
    };

    const PoseConvention& convention = profile.convention;
    QDomElement conventionElement = append(QStringLiteral("Convention"));
    conventionElement.setAttribute(QStringLiteral("rotationOrder"),
                                   convention.rotationOrder == RotationOrder::Fixed
                                       ? QStringLiteral("fixed")
                                       : QStringLiteral("declared"));
    conventionElement.setAttribute(QStringLiteral("positionChannels"),
                                   convention.positionChannels == PositionChannels::AddToOffset
                                       ? QStringLiteral("add")
                                       : QStringLiteral("replace"));
    conventionElement.setAttribute(
        QStringLiteral("pi"),
        convention.pi == PoseConvention::approximatePi ? QStringLiteral("approximate")
        : convention.pi == PoseConvention::exactPi     ? QStringLiteral("exact")
                                                       : NumberFormat::general(convention.pi, 9));
    QDomElement unit = append(QStringLiteral("Unit"), profile.unit.name);
    if (LengthUnit::fromName(profile.unit.name) != profile.unit)
        unit.setAttribute(QStringLiteral("millimetres"),
                          NumberFormat::general(profile.unit.millimetres, 17));
    if (profile.nameCase == Qt::CaseInsensitive || !profile.prefixes.isEmpty()) {
        QDomElement names = append(QStringLiteral("JointNames"));
        if (profile.nameCase == Qt::CaseInsensitive)
            names.setAttribute(QStringLiteral("caseSensitive"), QStringLiteral("false"));
        if (!profile.prefixes.isEmpty())
            names.setAttribute(QStringLiteral("prefixes"), profile.prefixes.join(QLatin1Char(',')));
    }
    if (!profile.skeletonJoints.isEmpty())
        append(QStringLiteral("Joints"), profile.skeletonJoints.join(QLatin1Char(' ')));
    for (const SkeletonProfile::Landmark& landmark : profile.landmarks)
        append(QStringLiteral("Joint"), landmark.jointNames.join(QLatin1Char('|')))
            .setAttribute(QStringLiteral("concept"), landmark.name);
    MassSegmentFile::appendSegments(document, root, profile.segments);
    return MassSegmentFile::writeDocument(fileName, document);
}

} // namespace SkeletonProfileFile
