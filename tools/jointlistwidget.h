#pragma once

#include "model/bvhjoint.h"

#include <QPointer>
#include <QStandardItemModel>
#include <QWidget>

class MotionDocument;
class QHBoxLayout;
class QListView;

// The "Joint DOF Index List" tool window: one line "(first-last) name" per joint, giving the
// columns its channels take in every frame row, so that a joint's values can be found in the
// file and in the exports.
class JointListWidget : public QWidget
{
    Q_OBJECT

public:
    explicit JointListWidget(QWidget* parent = nullptr);

    // The document shown (null: none).
    void setDocument(MotionDocument* shown);

    QListView* listView = nullptr;

private:
    void refresh();
    void setupUi();
    void retranslateUi();

    QHBoxLayout* horizontalLayout = nullptr;
    QStandardItemModel model;
    QPointer<MotionDocument> document;
};
