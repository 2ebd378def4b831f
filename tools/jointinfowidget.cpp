#include "jointinfowidget.h"

#include "model/poseevaluator.h"
#include "tools/valuespinbox.h"

#include <QDoubleSpinBox>

#include <cmath>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

JointInfoWidget::JointInfoWidget(QWidget* parent) : QWidget(parent)
{
    setupUi();
    QDoubleSpinBox* const offsets[3] = {xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox};
    QDoubleSpinBox* const positions[3] = {xPosSpinBox, yPosSpinBox, zPosSpinBox};
    QDoubleSpinBox* const rotations[3] = {xRotSpinBox, yRotSpinBox, zRotSpinBox};
    for (int axis = 0; axis < 3; ++axis) {
        connect(offsets[axis], &QDoubleSpinBox::valueChanged, this,
                [this, axis] { changeJointOffset(axis); });
        connect(positions[axis], &QDoubleSpinBox::valueChanged, this,
                [this, axis] { changeJointPosition(axis); });
        connect(rotations[axis], &QDoubleSpinBox::valueChanged, this,
                [this, axis] { changeJointRotation(axis); });
    }
}

// A group of three labelled boxes, x, y and z, filled into `boxes`.
QGroupBox* JointInfoWidget::makeGroup(QDoubleSpinBox* boxes[3])
{
    auto* group = new QGroupBox(this);
    auto* grid = new QGridLayout(group);
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(new QLabel(group), row, 0);
        boxes[row] = new ValueSpinBox(group);
        grid->addWidget(boxes[row], row, 1);
    }
    windowLayout->addWidget(group);
    return group;
}

void JointInfoWidget::setupUi()
{
    resize(101, 448);
    windowLayout = new QVBoxLayout(this);
    windowLayout->setSpacing(2);
    windowLayout->setContentsMargins(0, 0, 0, 0);

    auto* identityLayout = new QGridLayout();
    nameCaption = new QLabel(this);
    identityLayout->addWidget(nameCaption, 0, 0);
    jointNameLabel = new QLabel(this);
    identityLayout->addWidget(jointNameLabel, 0, 1);
    parentCaption = new QLabel(this);
    identityLayout->addWidget(parentCaption, 1, 0);
    jointParentLabel = new QLabel(this);
    identityLayout->addWidget(jointParentLabel, 1, 1);
    windowLayout->addLayout(identityLayout);

    QDoubleSpinBox* offsets[3];
    offsetGroupBox = makeGroup(offsets);
    xOffsetSpinBox = offsets[0], yOffsetSpinBox = offsets[1], zOffsetSpinBox = offsets[2];
    QDoubleSpinBox* positions[3];
    posGroupBox = makeGroup(positions);
    xPosSpinBox = positions[0], yPosSpinBox = positions[1], zPosSpinBox = positions[2];
    QDoubleSpinBox* rotations[3];
    rotGroupBox = makeGroup(rotations);
    xRotSpinBox = rotations[0], yRotSpinBox = rotations[1], zRotSpinBox = rotations[2];
    QDoubleSpinBox* absolute[3];
    absPosGroupBox = makeGroup(absolute);
    xPosAbsSpinBox = absolute[0], yPosAbsSpinBox = absolute[1], zPosAbsSpinBox = absolute[2];
    for (QDoubleSpinBox* box : absolute) {
        box->setReadOnly(true);
        box->setButtonSymbols(QAbstractSpinBox::NoButtons);
    }
    windowLayout->addStretch();
    retranslateUi();
}

void JointInfoWidget::retranslateUi()
{
    setWindowTitle(tr("Joint Info"));
    nameCaption->setText(tr("Name:"));
    parentCaption->setText(tr("Parent:"));
    offsetGroupBox->setTitle(tr("Initial Offset"));
    posGroupBox->setTitle(tr("Frame Position"));
    rotGroupBox->setTitle(tr("Frame Rotation"));
    absPosGroupBox->setTitle(tr("Absolute Position"));
    const QString axes[3] = {tr("X:"), tr("Y:"), tr("Z:")};
    for (QGroupBox* group : {offsetGroupBox, posGroupBox, rotGroupBox, absPosGroupBox}) {
        auto* grid = static_cast<QGridLayout*>(group->layout());
        for (int row = 0; row < 3; ++row)
            static_cast<QLabel*>(grid->itemAtPosition(row, 0)->widget())->setText(axes[row]);
    }
}

void JointInfoWidget::setJoint(BvhJoint* jointObject)
{
    posGroupBox->setEnabled(true);
    rotGroupBox->setEnabled(true);
    if (jointObject && !jointObject->hasChannel(QStringLiteral("Xposition")))
        posGroupBox->setEnabled(false);
    if (jointObject && !jointObject->hasChannel(QStringLiteral("Xrotation")))
        rotGroupBox->setEnabled(false);
    joint = jointObject;
    updateJointInfo();
}

void JointInfoWidget::updateJointInfo()
{
    if (!joint)
        return;
    updating = true;
    jointNameLabel->setText(joint->getName());
    const BvhJoint* parent = joint->getParentJoint();
    jointParentLabel->setText(parent ? parent->getName() : QString());
    const Vector3f values[4] = {joint->getOffset(), joint->getPosition(), joint->getRotation(),
                                PoseEvaluator::positionOf(*joint)};
    QDoubleSpinBox* const boxes[4][3] = {{xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox},
                                         {xPosSpinBox, yPosSpinBox, zPosSpinBox},
                                         {xRotSpinBox, yRotSpinBox, zRotSpinBox},
                                         {xPosAbsSpinBox, yPosAbsSpinBox, zPosAbsSpinBox}};
    for (int group = 0; group < 4; ++group) {
        for (int axis = 0; axis < 3; ++axis)
            boxes[group][axis]->setValue(values[group][axis]);
    }
    updating = false;
}

void JointInfoWidget::changeJointOffset(int axis)
{
    changeJointValue(Field::Offset, axis);
}

void JointInfoWidget::changeJointPosition(int axis)
{
    changeJointValue(Field::Position, axis);
}

void JointInfoWidget::changeJointRotation(int axis)
{
    changeJointValue(Field::Rotation, axis);
}

void JointInfoWidget::changeJointValue(Field field, int axis)
{
    if (updating || !joint || axis < 0 || axis > 2)
        return;
    QDoubleSpinBox* const boxes[3][3] = {{xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox},
                                         {xPosSpinBox, yPosSpinBox, zPosSpinBox},
                                         {xRotSpinBox, yRotSpinBox, zRotSpinBox}};
    const float value = float(boxes[int(field)][axis]->value());
    const Vector3f held = field == Field::Offset     ? joint->getOffset()
                          : field == Field::Position ? joint->getPosition()
                                                     : joint->getRotation();
    // The box read back what it showed (Enter without an edit): nothing to store.
    if (held[axis] == value && std::signbit(held[axis]) == std::signbit(value))
        return;
    switch (field) {
    case Field::Offset: {
        Vector3f offset = joint->getOffset();
        offset[axis] = value;
        joint->setOffset(offset.x(), offset.y(), offset.z());
        break;
    }
    case Field::Position: {
        Vector3f position = joint->getPosition();
        position[axis] = value;
        joint->setPosition(position);
        break;
    }
    case Field::Rotation: {
        Vector3f rotation = joint->getRotation();
        rotation[axis] = value;
        joint->setRotation(rotation);
        break;
    }
    }
    emit jointUpdated(joint);
    updateJointInfo();
}

void JointInfoWidget::clearJointInfo()
{
    joint = nullptr;
    jointNameLabel->setText(QString());
    jointParentLabel->setText(QString());
    updating = true;
    for (QDoubleSpinBox* box :
         {xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox, xPosSpinBox, yPosSpinBox, zPosSpinBox,
          xRotSpinBox, yRotSpinBox, zRotSpinBox, xPosAbsSpinBox, yPosAbsSpinBox, zPosAbsSpinBox})
        box->setValue(0);
    updating = false;
}
