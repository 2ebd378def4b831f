#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"
#include "tools/checkablelistwidget.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"
#include "tools/masssegmentwidget.h"
#include "tools/userdialogs.h"

#include <QtTest>
#include <QtWidgets>

// The tool windows on their own: the joint tree, the DOF index list, the joint editor, the
// joint selection list and the mass-segment editor.
class TestToolWindows : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    BvhFile file; // the small motion: Hips > [Spine > End Site, LeftLeg > End Site]
    BvhMathObject physics;
    const MassSegmentModel model =
        TestSupport::segmentModel("Hips>Spine 0.5 0.75;Spine>End Site 0.0123456789 0.25;");

    static QString cell(const MassSegmentWidget& editor, int row, int column)
    {
        const QTableWidgetItem* item = editor.tableWidget->item(row, column);
        return item ? item->text() : QString();
    }

private slots:
    void init()
    {
        file.clear();
        QVERIFY(TestSupport::loadMotion(file, TestSupport::smallMotion(3)));
        file.loadFrame(0);
        physics.setSegments(model);
    }

    void cleanup() { UserDialogs::install({}); }

    // Rows of equal names (the End Sites) each lead to their own joint.
    void treeClicksChooseTheirOwnJoint()
    {
        JointTreeWidget tree;
        tree.rootJoint = file.root;
        tree.refreshModel();
        QSignalSpy clicked(&tree, &JointTreeWidget::jointClicked);
        const QList<BvhJoint*> joints = file.root->getAllJoints();
        const QAbstractItemModel* model = tree.bvhTreeView->model();
        const QModelIndex hips = model->index(0, 0);
        const QModelIndex rows[] = {
            hips, model->index(0, 0, hips), model->index(0, 0, model->index(0, 0, hips)),
            model->index(1, 0, hips), model->index(0, 0, model->index(1, 0, hips))};
        for (int joint = 0; joint < 5; ++joint) {
            emit tree.bvhTreeView->clicked(rows[joint]);
            QCOMPARE(clicked.last().at(0).value<BvhJoint*>(), joints[joint]);
        }
        QCOMPARE(clicked.size(), 5);
        QVERIFY(!(model->flags(rows[3]) & Qt::ItemIsEditable));
        tree.clearModel();
        QCOMPARE(model->rowCount(), 0);
    }

    void dofLinesCoverEveryColumn()
    {
        JointListWidget list;
        list.rootJoint = file.root;
        list.refresh();
        list.refresh(); // replaces, does not append
        const QAbstractItemModel* model = list.listView->model();
        QStringList lines;
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row, 0).data().toString();
        QCOMPARE(lines, QStringList({"(0-5) Hips", "(6-8) Spine", "(9-8) End Site",
                                     "(9-11) LeftLeg", "(12-11) End Site"}));
    }

    // Showing a joint is no edit; an edit writes only the component changed and shows the
    // values that follow from it.
    void editorShowsAndEditsTheJoint()
    {
        JointInfoWidget editor;
        QSignalSpy updated(&editor, &JointInfoWidget::jointUpdated);
        BvhJoint* hips = file.root;
        editor.xRotSpinBox->setValue(12); // no joint yet
        editor.setJoint(hips->getJointByName(QStringLiteral("Spine")));
        QCOMPARE(editor.jointParentLabel->text(), QStringLiteral("Hips"));
        QVERIFY(!editor.posGroupBox->isEnabled() && editor.rotGroupBox->isEnabled());
        editor.setJoint(hips);
        QVERIFY(editor.posGroupBox->isEnabled());
        QCOMPARE(editor.yPosSpinBox->value(), 1.0); // frame 0: Hips at (0, 1, 2)
        hips->setPosition(Vector3f(0.123456f, 1, 2));
        editor.updateJointInfo();
        QCOMPARE(updated.size(), 0);

        editor.yOffsetSpinBox->setValue(7.5);
        QCOMPARE(updated.size(), 1);
        QCOMPARE(hips->getOffset(), Vector3f(0, 7.5f, 0));
        QCOMPARE(editor.yPosAbsSpinBox->value(), 8.5);
        editor.zPosSpinBox->setValue(4);
        QCOMPARE(hips->getPosition(), Vector3f(0.123456f, 1, 4));

        file.clear(); // the joint goes away under the editor
        editor.xRotSpinBox->setValue(30);
        QCOMPARE(updated.size(), 2);
        QVERIFY(!editor.getJoint());
    }

    void checkableList()
    {
        CheckableListWidget list;
        list.setItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        list.noneButton->click();
        list.listWidget->item(1)->setCheckState(Qt::Checked);
        QCOMPARE(list.checkStates(), QList<bool>({false, true, false}));
        list.allButton->click();
        QCOMPARE(list.checkStates(), QList<bool>({true, true, true}));
        list.showRange(-5, 123456);
        QCOMPARE(list.fromSpinBox->value(), 0);
        QCOMPARE(list.toSpinBox->value(), 99999);
    }

    // Close discards the table's edits, Save and Close applies them: text that is no number
    // becomes 0, an added row a segment of empty names. Save XML writes the model (not the
    // table), Open XML replaces it and shows it, and a failed write is reported.
    void massSegmentEditor()
    {
        MassSegmentWidget editor;
        editor.mathObject = &physics;
        editor.refreshTable();
        QCOMPARE(cell(editor, 1, 2), QStringLiteral("0.0123457"));
        editor.tableWidget->item(0, 3)->setText(QStringLiteral("0.5"));
        editor.closeButton->click();
        QCOMPARE(physics.getSegments(), model);

        const QString path = dir.filePath(QStringLiteral("model.xml"));
        QStringList answers{path, path, QStringLiteral("/nonexistent/dir/model.xml")}, warnings;
        UserDialogs::Handler handler;
        handler.saveFileName = [&](auto&&...) { return answers.takeFirst(); };
        handler.openFileName = handler.saveFileName;
        handler.warning = [&](const QString&, const QString& text) { warnings << text; };
        UserDialogs::install(handler);
        editor.saveButton->click();
        editor.tableWidget->item(1, 3)->setText(QStringLiteral("heavy"));
        editor.addButton->click();
        editor.saveCloseButton->click();
        QCOMPARE(physics.getSegments(),
                 MassSegmentModel(
                     {{"Hips", "Spine", 0.5, 0.5}, {"Spine", "End Site", 0.0123457, 0.0}, {}}));
        editor.openButton->click();
        QCOMPARE(physics.getSegments()[1].mass, 0.25);
        QCOMPARE(cell(editor, 0, 3), QStringLiteral("0.75"));
        editor.saveButton->click();
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings[0].contains(QLatin1String("/nonexistent/dir/model.xml")));

        editor.tableWidget->setCurrentCell(-1, -1);
        editor.deleteButton->click(); // no current row: nothing
        editor.tableWidget->setCurrentCell(0, 0);
        editor.deleteButton->click();
        QCOMPARE(editor.tableWidget->rowCount(), 1);
        QCOMPARE(cell(editor, 0, 0), QStringLiteral("Spine"));
    }

    // A name cell offers the motion's joints but its End Sites; a number cell offers nothing.
    void jointListFillsNameCells()
    {
        MassSegmentWidget editor;
        editor.mathObject = &physics;
        editor.refreshTable();
        emit editor.tableWidget->cellClicked(0, 0); // no motion open: no list
        QVERIFY(!editor.listView->model());
        physics.setBvhFile(&file);
        editor.tableWidget->setCurrentCell(1, 1);
        emit editor.tableWidget->cellClicked(1, 1);
        QAbstractItemModel* names = editor.listView->model();
        QCOMPARE(names->rowCount(), 3);
        emit editor.listView->clicked(names->index(2, 0));
        QCOMPARE(cell(editor, 1, 1), QStringLiteral("LeftLeg"));
        editor.tableWidget->setCurrentCell(1, 2);
        emit editor.tableWidget->cellClicked(1, 2);
        QVERIFY(!editor.listView->model());
        editor.processListClick(names->index(0, 0));
        QCOMPARE(cell(editor, 1, 2), QStringLiteral("0.0123457"));
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_toolwindows.moc"
