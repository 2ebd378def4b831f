#include "model/bvhfile.h"
#include "support/testsupport.h"
#include "tools/jointinfowidget.h"
#include "tools/jointlistwidget.h"
#include "tools/jointtreewidget.h"

#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

// The joint hierarchy tree, the DOF index list and the joint editor.
class TestJointWidgets : public QObject
{
    Q_OBJECT

private:
    BvhFile file;

    QModelIndex treeIndex(const JointTreeWidget& tree, const QList<int>& path)
    {
        const QAbstractItemModel* model = tree.bvhTreeView->model();
        QModelIndex index = model->index(path[0], 0);
        for (qsizetype i = 1; i < path.size(); ++i)
            index = model->index(path[i], 0, index);
        return index;
    }

private slots:
    void init()
    {
        file.clear();
        QTemporaryDir dir;
        QVERIFY(file.readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(3)))
                    .ok());
        file.setCurrentFrame(0);
    }

    void treeClicksChooseTheirOwnJoint()
    {
        JointTreeWidget tree;
        tree.rootJoint = file.root;
        tree.refreshModel();
        QSignalSpy clicked(&tree, &JointTreeWidget::jointClicked);
        const QList<BvhJoint*> joints = file.root->getAllJoints();

        // Hips > [Spine > End Site, LeftLeg > End Site]
        for (const auto& [path, joint] : {std::pair{QList<int>{0}, 0},
                                          {QList<int>{0, 0}, 1},
                                          {QList<int>{0, 0, 0}, 2},
                                          {QList<int>{0, 1}, 3},
                                          {QList<int>{0, 1, 0}, 4}}) {
            const QModelIndex index = treeIndex(tree, path);
            QVERIFY(index.isValid());
            tree.bvhTreeView->clicked(index);
            QCOMPARE(clicked.last().at(0).value<BvhJoint*>(), joints[joint]);
        }
        QCOMPARE(clicked.size(), 5);
        // Rows cannot be renamed in place.
        QVERIFY(!(tree.bvhTreeView->model()->flags(treeIndex(tree, {0, 1})) & Qt::ItemIsEditable));

        tree.refreshModel(); // without clearing: the hierarchy is shown twice
        QCOMPARE(tree.bvhTreeView->model()->rowCount(), 2);
        tree.clearModel();
        QCOMPARE(tree.bvhTreeView->model()->rowCount(), 0);
        QVERIFY(tree.rootJoint.isNull());
    }

    void dofLinesCoverEveryColumn()
    {
        JointListWidget list;
        list.rootJoint = file.root;
        list.refresh();
        const QAbstractItemModel* model = list.listView->model();
        QStringList lines;
        for (int row = 0; row < model->rowCount(); ++row)
            lines << model->index(row, 0).data().toString();
        QCOMPARE(lines, QStringList({"(0-5) Hips", "(6-8) Spine", "(9-8) End Site",
                                     "(9-11) LeftLeg", "(12-11) End Site"}));
        list.refresh(); // replaces, does not append
        QCOMPARE(model->rowCount(), 5);
        list.clearModel();
        QCOMPARE(model->rowCount(), 0);
        list.refresh(); // no root: nothing
        QCOMPARE(model->rowCount(), 0);
    }

    void editorShowsAndEditsTheJoint()
    {
        JointInfoWidget editor;
        QSignalSpy updated(&editor, &JointInfoWidget::jointUpdated);
        BvhJoint* hips = file.root;
        BvhJoint* spine = hips->getJointByName(QStringLiteral("Spine"));

        editor.setJoint(hips);
        QCOMPARE(editor.jointNameLabel->text(), QStringLiteral("Hips"));
        QCOMPARE(editor.jointParentLabel->text(), QString());
        QVERIFY(editor.posGroupBox->isEnabled());
        QCOMPARE(updated.size(), 0); // showing a joint is not an edit

        editor.setJoint(spine);
        QCOMPARE(editor.jointParentLabel->text(), QStringLiteral("Hips"));
        QVERIFY(!editor.posGroupBox->isEnabled());
        QVERIFY(editor.rotGroupBox->isEnabled());
        editor.setJoint(hips);
        QVERIFY(editor.posGroupBox->isEnabled());

        // Frame 0 of the small motion: Hips position (0, 1, 2).
        QCOMPARE(editor.yPosSpinBox->value(), 1.0);
        hips->setPosition(Vector3f(0.123456f, 1, 2));
        editor.updateJointInfo();
        QCOMPARE(updated.size(), 0);

        editor.yOffsetSpinBox->setValue(7.5);
        QCOMPARE(updated.size(), 1);
        QCOMPARE(hips->getOffset(), Vector3f(0, 7.5f, 0));
        QCOMPARE(editor.yPosAbsSpinBox->value(), 8.5); // recomputed: offset + position

        // Only the changed component is written; x keeps all its digits.
        editor.zPosSpinBox->setValue(4);
        QCOMPARE(updated.size(), 2);
        QCOMPARE(hips->getPosition(), Vector3f(0.123456f, 1, 4));
    }

    void editorIgnoresChangesWithoutAJoint()
    {
        JointInfoWidget editor;
        QSignalSpy updated(&editor, &JointInfoWidget::jointUpdated);
        editor.xRotSpinBox->setValue(12);
        QCOMPARE(updated.size(), 0);

        editor.setJoint(file.root);
        editor.clearJointInfo();
        QCOMPARE(editor.jointNameLabel->text(), QString());
        QCOMPARE(editor.xOffsetSpinBox->value(), 0.0);
        QCOMPARE(updated.size(), 0);

        editor.setJoint(file.root);
        file.clear(); // the joint goes away under the editor
        editor.xRotSpinBox->setValue(30);
        QCOMPARE(updated.size(), 0);
        QVERIFY(editor.getJoint() == nullptr);
    }
};

QTEST_MAIN(TestJointWidgets)
#include "tst_jointwidgets.moc"
