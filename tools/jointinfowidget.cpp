#include "jointinfowidget.h"

#include "document/motiondocument.h"
#include "tools/valuespinbox.h"

#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QUndoStack>
#include <QVBoxLayout>

#include <memory>

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

void JointInfoWidget::setDocument(MotionDocument* shown)
{
    if (document)
        disconnect(document, nullptr, this, nullptr);
    document = shown;
    updateJointInfo();
    if (!document)
        return;
    connect(document, &MotionDocument::motionReplaced, this, &JointInfoWidget::updateJointInfo);
    connect(document, &MotionDocument::setupChanged, this, &JointInfoWidget::updateJointInfo);
    connect(document, &MotionDocument::currentFrameChanged, this,
            &JointInfoWidget::updateJointInfo);
    connect(document, &MotionDocument::motionEdited, this, &JointInfoWidget::updateJointInfo);
    connect(document, &MotionDocument::selectedJointChanged, this,
            &JointInfoWidget::updateJointInfo);
}

BvhJoint* JointInfoWidget::getJoint() const
{
    return document ? document->selectedJointPointer() : nullptr;
}

qsizetype JointInfoWidget::columnOf(const BvhJoint* joint, Field field, int axis) const
{
    if (!joint || field == Field::Offset)
        return -1;
    const qsizetype first = document->getMotion().firstChannelOf(joint);
    if (first < 0)
        return -1;
    const int wanted = (field == Field::Position ? 0 : 3) + axis;
    for (int k = 0; k < joint->getNumChannels(); ++k) {
        if (int(joint->getChannel(k)) == wanted)
            return first + k;
    }
    return -1;
}

void JointInfoWidget::updateJointInfo()
{
    const BvhJoint* joint = getJoint();
    if (!joint)
        return clearJointInfo();
    updating = true;
    offsetGroupBox->setEnabled(true);
    jointNameLabel->setText(joint->getName());
    const BvhJoint* parent = joint->getParentJoint();
    jointParentLabel->setText(parent ? parent->getName() : QString());
    const int frame = document->getCurrentFrame();
    QDoubleSpinBox* const offsets[3] = {xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox};
    QDoubleSpinBox* const boxes[2][3] = {{xPosSpinBox, yPosSpinBox, zPosSpinBox},
                                         {xRotSpinBox, yRotSpinBox, zRotSpinBox}};
    QDoubleSpinBox* const absolute[3] = {xPosAbsSpinBox, yPosAbsSpinBox, zPosAbsSpinBox};
    const std::vector<Vector3f> posed = document->posedJoints(frame);
    const qsizetype index = document->getSelectedJoint();
    bool channels[2] = {false, false}; // the joint has some position, some rotation channel
    for (int axis = 0; axis < 3; ++axis) {
        offsets[axis]->setValue(joint->getExactOffset()[axis]);
        for (const Field field : {Field::Position, Field::Rotation}) {
            const qsizetype column = columnOf(joint, field, axis);
            QDoubleSpinBox* box = boxes[field == Field::Position ? 0 : 1][axis];
            // A value the joint has no channel for is no part of the motion: nothing to edit.
            box->setEnabled(column >= 0);
            channels[field == Field::Position ? 0 : 1] |= column >= 0;
            box->setValue(column >= 0 ? document->getValue(frame, column) : 0.0);
        }
        absolute[axis]->setValue(
            index >= 0 && size_t(index) < posed.size() ? double(posed[size_t(index)][axis]) : 0.0);
    }
    posGroupBox->setEnabled(channels[0]);
    rotGroupBox->setEnabled(channels[1]);
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
    BvhJoint* joint = getJoint();
    if (updating || !joint || axis < 0 || axis > 2)
        return;
    QDoubleSpinBox* const boxes[3][3] = {{xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox},
                                         {xPosSpinBox, yPosSpinBox, zPosSpinBox},
                                         {xRotSpinBox, yRotSpinBox, zRotSpinBox}};
    const double value = boxes[int(field)][axis]->value();
    const char* const axisNames[3] = {"X", "Y", "Z"};
    const QString what = field == Field::Offset     ? tr("Offset")
                         : field == Field::Position ? tr("Position")
                                                    : tr("Rotation");
    const QString text = tr("%1 %2 %3").arg(joint->getName(), QLatin1String(axisNames[axis]), what);
    if (field == Field::Offset) {
        // The box read back what it showed (Enter without an edit): nothing to store.
        if (joint->getExactOffset()[axis] == value)
            return;
        document->setOffset(document->getSelectedJoint(), axis, value, text);
    } else {
        const qsizetype column = columnOf(joint, field, axis);
        const int frame = document->getCurrentFrame();
        if (column < 0 || document->getValue(frame, column) == value)
            return;
        document->setValue(frame, column, value, text);
    }
    emit jointUpdated(joint);
}

void JointInfoWidget::clearJointInfo()
{
    for (QGroupBox* group : {offsetGroupBox, posGroupBox, rotGroupBox})
        group->setEnabled(false);
    jointNameLabel->setText(QString());
    jointParentLabel->setText(QString());
    updating = true;
    for (QDoubleSpinBox* box :
         {xOffsetSpinBox, yOffsetSpinBox, zOffsetSpinBox, xPosSpinBox, yPosSpinBox, zPosSpinBox,
          xRotSpinBox, yRotSpinBox, zRotSpinBox, xPosAbsSpinBox, yPosAbsSpinBox, zPosAbsSpinBox})
        box->setValue(0);
    updating = false;
}
