#pragma once

#include "gait/motionanalysis.h"

#include <QDialog>

class QCheckBox;
class QDoubleSpinBox;

// The settings of the centre-of-mass analysis. Lengths left on "auto" follow from the body's
// size; they are in the motion's own unit.
class AnalysisSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AnalysisSettingsDialog(const AnalysisSettings& settings, QWidget* parent = nullptr);

    AnalysisSettings getSettings() const;

private:
    // A box whose lowest value reads "auto" (none).
    QDoubleSpinBox* optionalBox(const std::optional<double>& value, double lowest,
                                const QString& suffix);

    AnalysisSettings original;
    QDoubleSpinBox* cutoff = nullptr;
    QCheckBox* correctCutoff = nullptr;
    QCheckBox* filterJoints = nullptr;
    QCheckBox* fixedFloor = nullptr;
    QDoubleSpinBox* floorHeight = nullptr;
    QDoubleSpinBox* contactHeight = nullptr;
    QDoubleSpinBox* contactSpeed = nullptr;
    QDoubleSpinBox* pendulumLength = nullptr;
    QDoubleSpinBox* footWidth = nullptr;
};
