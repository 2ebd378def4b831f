#pragma once

#include "model/bvhjoint.h"

#include <QModelIndex>
#include <QPointer>
#include <QStandardItemModel>
#include <QWidget>

class MotionDocument;
class QTreeView;
class QVBoxLayout;

// The "Joint Hierarchy" tool window: the document's skeleton as a tree. Clicking a row selects
// that joint in the document, for the whole application; the row of the selected joint is
// the current one.
class JointTreeWidget : public QWidget
{
    Q_OBJECT

public:
    explicit JointTreeWidget(QWidget* parent = nullptr);

    // The document shown (null: none).
    void setDocument(MotionDocument* shown);

    QTreeView* bvhTreeView = nullptr;

private:
    // The document's skeleton as the one top-level row, expanded; none without a motion.
    void showSkeleton();
    void showSelection();
    void processClick(const QModelIndex& index);
    void setupUi();
    void retranslateUi();

    QVBoxLayout* verticalLayout = nullptr;
    QStandardItemModel model;
    QPointer<MotionDocument> document;
};
