#include "analysissettingsdialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>

AnalysisSettingsDialog::AnalysisSettingsDialog(const AnalysisSettings& settings, QWidget* parent)
    : QDialog(parent), original(settings)
{
    setWindowTitle(tr("Analysis Settings"));
    auto* form = new QFormLayout(this);
    cutoff = new QDoubleSpinBox;
    cutoff->setRange(0.1, 1000);
    cutoff->setDecimals(2);
    cutoff->setSuffix(tr(" Hz"));
    cutoff->setValue(settings.cutoffHz);
    form->addRow(tr("Low-pass cut-off:"), cutoff);
    correctCutoff = new QCheckBox(tr("Correct the cut-off for the two passes (/ 0.802)"));
    correctCutoff->setChecked(settings.correctCutoff);
    form->addRow(correctCutoff);
    filterJoints = new QCheckBox(tr("Filter the feet and pelvis too"));
    filterJoints->setChecked(settings.filterJoints);
    form->addRow(filterJoints);
    fixedFloor = new QCheckBox(tr("Floor at a fixed height (else where the feet rest)"));
    fixedFloor->setChecked(bool(settings.floorHeight));
    floorHeight = new QDoubleSpinBox;
    floorHeight->setRange(-1e6, 1e6);
    floorHeight->setValue(settings.floorHeight.value_or(0));
    floorHeight->setEnabled(fixedFloor->isChecked());
    connect(fixedFloor, &QCheckBox::toggled, floorHeight, &QWidget::setEnabled);
    form->addRow(fixedFloor);
    form->addRow(tr("Floor height:"), floorHeight);
    contactHeight = optionalBox(settings.contactHeight, 0, {});
    form->addRow(tr("Foot contact within:"), contactHeight);
    contactSpeed = optionalBox(settings.contactSpeed, 0, tr(" /s"));
    form->addRow(tr("Foot contact below the speed:"), contactSpeed);
    pendulumLength = optionalBox(settings.pendulumLength, 0, {});
    form->addRow(tr("Pendulum length:"), pendulumLength);
    footWidth = optionalBox(settings.footWidth, 0, {});
    form->addRow(tr("Foot width:"), footWidth);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QDoubleSpinBox* AnalysisSettingsDialog::optionalBox(const std::optional<double>& value,
                                                    double lowest, const QString& suffix)
{
    auto* box = new QDoubleSpinBox;
    // One step below the lowest value stands for "auto".
    box->setRange(lowest - 0.01, 1e6);
    box->setDecimals(2);
    box->setSpecialValueText(tr("auto"));
    box->setSuffix(suffix);
    box->setValue(value.value_or(lowest - 0.01));
    return box;
}

AnalysisSettings AnalysisSettingsDialog::getSettings() const
{
    AnalysisSettings settings = original;
    settings.cutoffHz = cutoff->value();
    settings.correctCutoff = correctCutoff->isChecked();
    settings.filterJoints = filterJoints->isChecked();
    settings.floorHeight.reset();
    if (fixedFloor->isChecked())
        settings.floorHeight = floorHeight->value();
    const auto optional = [](const QDoubleSpinBox* box) -> std::optional<double> {
        if (box->value() == box->minimum())
            return std::nullopt;
        return box->value();
    };
    settings.contactHeight = optional(contactHeight);
    settings.contactSpeed = optional(contactSpeed);
    settings.pendulumLength = optional(pendulumLength);
    // A pendulum of no length has no frequency.
    if (settings.pendulumLength && *settings.pendulumLength <= 0)
        settings.pendulumLength.reset();
    settings.footWidth = optional(footWidth);
    return settings;
}
