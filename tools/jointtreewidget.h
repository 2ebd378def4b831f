#pragma once

#include "model/bvhjoint.h"

#include <QModelIndex>
#include <QPointer>
#include <QStandardItemModel>
#include <QWidget>

class QTreeView;
class QVBoxLayout;

// The "Joint Hierarchy" tool window: the skeleton as a tree. Clicking a row chooses that joint
// for the whole application (jointClicked); it is the only place where joints are chosen.
class JointTreeWidget : public QWidget
{
    Q_OBJECT

public:
    explicit JointTreeWidget(QWidget* parent = nullptr);

    // Sets rootJoint to null and removes every row.
    void clearModel();

    QPointer<BvhJoint> rootJoint; // set by the main window
    QTreeView* bvhTreeView = nullptr;

signals:
    void jointClicked(BvhJoint* joint);

public slots:
    // Appends the tree of rootJoint as a new top-level row and expands it.
    void refreshModel();

private slots:
    void processClick(const QModelIndex& index);

private:
    void setupUi();
    void retranslateUi();

    QVBoxLayout* verticalLayout = nullptr;
    QStandardItemModel model;
};
