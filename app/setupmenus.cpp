#include "setupmenus.h"

#include "app/dudezuform.h"
#include "document/motiondocument.h"
#include "model/bvhjoint.h"
#include "model/numberformat.h"
#include "skeleton/skeletonprofilefile.h"
#include "tools/userdialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QMenu>

SetupMenus::SetupMenus(MotionDocument& document, DudEzuForm& ui, QObject* parent)
    : QObject(parent), document(document), ui(ui)
{
    fillProfileMenu();
    fillUnitMenu();
    connect(ui.actionRotationOrderFixed, &QAction::triggered, this,
            [this] { setConvention(PoseConvention::ipiStudio()); });
    connect(ui.actionRotationOrderDeclared, &QAction::triggered, this,
            [this] { setConvention(PoseConvention::standard()); });
    connect(ui.actionProperties, &QAction::triggered, this, &SetupMenus::showProperties);
    for (const auto signal : {&MotionDocument::motionReplaced, &MotionDocument::setupChanged,
                              &MotionDocument::modelChanged})
        connect(&document, signal, this, &SetupMenus::showSetup);
    showSetup();
}

void SetupMenus::fillProfileMenu()
{
    auto* group = new QActionGroup(this);
    const auto addProfile = [&](const QString& name, const QString& text) {
        QAction* choice = ui.menuProfile->addAction(text, this, [this, name] { setProfile(name); });
        choice->setCheckable(true);
        choice->setData(name);
        group->addAction(choice);
        profileActions.append(choice);
    };
    addProfile(QString(), tr("Detect"));
    ui.menuProfile->addSeparator();
    for (const SkeletonProfile& profile : document.getProfiles().getProfiles())
        addProfile(profile.name, profile.title);
    ui.menuProfile->addSeparator();
    saveProfileAction =
        ui.menuProfile->addAction(tr("Save Profile..."), this, &SetupMenus::saveProfile);
}

void SetupMenus::fillUnitMenu()
{
    auto* group = new QActionGroup(this);
    const auto addUnit = [&](const std::optional<LengthUnit>& unit, const QString& text) {
        QAction* choice = ui.menuUnit->addAction(text, this, [this, unit] { setLengthUnit(unit); });
        choice->setCheckable(true);
        choice->setData(unit ? unit->name : QString());
        group->addAction(choice);
        unitActions.append(choice);
    };
    addUnit(std::nullopt, tr("The Profile's"));
    ui.menuUnit->addSeparator();
    addUnit(LengthUnit::centimetres(), tr("Centimetres"));
    addUnit(LengthUnit::metres(), tr("Metres"));
    addUnit(LengthUnit::millimetresUnit(), tr("Millimetres"));
    addUnit(LengthUnit::inches(), tr("Inches"));
}

void SetupMenus::setProfile(const QString& name)
{
    if (!document.isOpen())
        return;
    SetupRequest request = document.getSetupRequest();
    request.profileName = name;
    // The profile brings its own convention and unit.
    request.convention.reset();
    request.unit.reset();
    document.setSetupRequest(request, tr("Profile"));
}

void SetupMenus::setConvention(const PoseConvention& convention)
{
    if (!document.isOpen())
        return;
    SetupRequest request = document.getSetupRequest();
    request.convention = convention;
    document.setSetupRequest(request, tr("Convention"));
}

void SetupMenus::setLengthUnit(const std::optional<LengthUnit>& unit)
{
    if (!document.isOpen())
        return;
    SetupRequest request = document.getSetupRequest();
    request.unit = unit;
    document.setSetupRequest(request, tr("Unit"));
}

QString SetupMenus::setupText() const
{
    const MotionSetup& setup = document.getSetup();
    QString text = setup.summary() + QLatin1Char('.');
    const QStringList problems = setup.binding.problems(setup.segments);
    if (document.isOpen() && !problems.isEmpty())
        text += tr(" The mass-segment model does not fit this skeleton, so no body centre of mass "
                   "is shown: %1")
                    .arg(problems.join(QLatin1Char(' ')));
    return text;
}

void SetupMenus::showSetup()
{
    const bool open = document.isOpen();
    const MotionSetup& setup = document.getSetup();
    const SetupRequest& request = document.getSetupRequest();
    for (QAction* choice : std::as_const(profileActions)) {
        choice->setChecked(choice->data().toString() == request.profileName);
        choice->setEnabled(open);
    }
    profileActions.first()->setText(
        setup.detected() && open ? tr("Detect (%1)").arg(setup.profile.title) : tr("Detect"));
    const QString unitName = request.unit ? request.unit->name : QString();
    for (QAction* choice : std::as_const(unitActions)) {
        choice->setChecked(choice->data().toString() == unitName);
        choice->setEnabled(open);
    }
    unitActions.first()->setText(tr("The Profile's (%1)").arg(setup.profile.unit.name));
    saveProfileAction->setEnabled(open);
    ui.actionRotationOrderFixed->setChecked(setup.convention.rotationOrder == RotationOrder::Fixed);
    ui.actionRotationOrderDeclared->setChecked(setup.convention.rotationOrder ==
                                               RotationOrder::Declared);
    ui.actionRotationOrderFixed->setEnabled(open);
    ui.actionRotationOrderDeclared->setEnabled(open);
    if (open)
        emit statusMessage(setupText());
}

void SetupMenus::saveProfile()
{
    if (!document.isOpen())
        return;
    const QString fileName = UserDialogs::getSaveFileName(
        tr("Save Profile"),
        document.suggestedName(QStringLiteral("skeleton"), QStringLiteral("profile.xml")),
        tr("Skeleton profiles (*.profile.xml)"));
    if (fileName.isEmpty())
        return;
    const WriteResult result = SkeletonProfileFile::write(
        fileName, document.getSetup().profileToSave(SkeletonProfileFile::profileNameOf(fileName),
                                                    document.getMotion().root));
    if (!result.ok)
        return UserDialogs::writeFailure(result);
    emit statusMessage(
        tr("Wrote the profile %1. Copied to %2, it is detected for skeletons like this one.")
            .arg(QDir::toNativeSeparators(fileName),
                 QDir::toNativeSeparators(SkeletonProfiles::installedFolders().value(1))));
}

void SetupMenus::showProperties()
{
    if (!document.isOpen())
        return;
    QStringList lines;
    lines << tr("File: %1").arg(QDir::toNativeSeparators(document.getFileName()))
          << tr("Frames: %1, frame time %2 s")
                 .arg(document.rowCount())
                 .arg(NumberFormat::general(document.getMotion().frameTime))
          << tr("Joints: %1").arg(document.getMotion().root->getAllJoints().size());
    lines += document.getSetup().describe(document.getMotion().root);
    UserDialogs::information(tr("Properties"), lines.join(QLatin1Char('\n')));
}
