#include "model/bvhfile.h"
#include "physics/bvhmathobject.h"
#include "support/testsupport.h"
#include "tools/aboutwidget.h"
#include "tools/checkablelistdialog.h"
#include "tools/masssegmentwidget.h"
#include "tools/userdialogs.h"

#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The joint selection dialog, the mass-segment editor and the about box.
class TestToolWindows : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;

    static QString cell(const MassSegmentWidget& editor, int row, int column)
    {
        const QTableWidgetItem* item = editor.tableWidget->item(row, column);
        return item ? item->text() : QString();
    }

    static void setCell(MassSegmentWidget& editor, int row, int column, const QString& text)
    {
        editor.tableWidget->item(row, column)->setText(text);
    }

    void twoSegments(BvhMathObject& physics)
    {
        physics.clearSegments();
        physics.startJointNames = {QStringLiteral("Hips"), QStringLiteral("Spine")};
        physics.endJointNames = {QStringLiteral("Spine"), QStringLiteral("End Site")};
        physics.proximalDistances = {0.5, 0.0123456789};
        physics.masses = {0.75, 0.25};
    }

private slots:
    void checkableList()
    {
        CheckableListWidget list;
        QCOMPARE(list.checkStates(), QList<bool>());
        QVERIFY(list.fromSpinBox->isHidden());
        QCOMPARE(list.fromSpinBox->value(), 0);

        list.setItems({QStringLiteral("a"), QStringLiteral("b")});
        list.listWidget->item(0)->setCheckState(Qt::Unchecked);
        list.setItems({QStringLiteral("c")}); // appends and re-checks every row
        QCOMPARE(list.checkStates(), QList<bool>({true, true, true}));

        list.allButton->click();
        list.noneButton->click();
        QCOMPARE(list.checkStates(), QList<bool>({false, false, false}));
        list.listWidget->item(1)->setCheckState(Qt::Checked);
        QCOMPARE(list.checkStates(), QList<bool>({false, true, false}));

        list.showRange(-5, 123456);
        QVERIFY(!list.fromSpinBox->isHidden());
        QCOMPARE(list.fromSpinBox->value(), 0);
        QCOMPARE(list.toSpinBox->value(), 99999);
    }

    void dialogButtons()
    {
        CheckableListDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Check List"));
        QTimer::singleShot(0, &dialog, [&] { dialog.checkableList->okButton->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QTimer::singleShot(0, &dialog, [&] { dialog.checkableList->cancelButton->click(); });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }

    void massSegmentTableRoundTrip()
    {
        BvhMathObject physics;
        twoSegments(physics);
        MassSegmentWidget editor;
        editor.mathObject = &physics;
        editor.refreshTable();
        QCOMPARE(editor.tableWidget->rowCount(), 2);
        QCOMPARE(editor.tableWidget->horizontalHeaderItem(3)->text(),
                 QStringLiteral("Mass Fraction"));
        QCOMPARE(cell(editor, 1, 2), QStringLiteral("0.0123457"));

        // Close discards the edit.
        setCell(editor, 0, 3, QStringLiteral("0.5"));
        editor.closeButton->click();
        QCOMPARE(physics.masses, QList<double>({0.75, 0.25}));
        editor.refreshTable();
        QCOMPARE(cell(editor, 0, 3), QStringLiteral("0.75"));

        // Save and Close applies it; text that is no number becomes 0; an added row is a
        // segment of empty names and zero fractions.
        setCell(editor, 0, 3, QStringLiteral("0.5"));
        setCell(editor, 1, 3, QStringLiteral("heavy"));
        editor.addButton->click();
        editor.saveCloseButton->click();
        QCOMPARE(physics.masses, QList<double>({0.5, 0.0, 0.0}));
        QCOMPARE(physics.startJointNames, QStringList({"Hips", "Spine", ""}));
        QCOMPARE(physics.proximalDistances.last(), 0.0);

        editor.refreshTable();
        editor.tableWidget->setCurrentCell(-1, -1);
        editor.deleteButton->click(); // no current row: nothing
        QCOMPARE(editor.tableWidget->rowCount(), 3);
        editor.tableWidget->setCurrentCell(1, 0);
        editor.deleteButton->click();
        QCOMPARE(editor.tableWidget->rowCount(), 2);
        QCOMPARE(cell(editor, 1, 0), QString());
    }

    void jointListFillsNameCells()
    {
        BvhMathObject physics;
        twoSegments(physics);
        MassSegmentWidget editor;
        editor.mathObject = &physics;
        editor.refreshTable();

        editor.processTableClick(0, 0); // no motion open: no list
        QVERIFY(editor.listView->model() == nullptr);

        BvhFile motion;
        QVERIFY(motion
                    .readFile(TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                     TestSupport::smallMotion(2)))
                    .ok());
        physics.setBvhFile(&motion);
        editor.tableWidget->setCurrentCell(1, 1);
        editor.processTableClick(1, 1);
        QAbstractItemModel* names = editor.listView->model();
        QVERIFY(names);
        QCOMPARE(names->rowCount(), 3); // Hips, Spine, LeftLeg: End Sites left out
        editor.processListClick(names->index(2, 0));
        QCOMPARE(cell(editor, 1, 1), QStringLiteral("LeftLeg"));

        editor.tableWidget->setCurrentCell(1, 2);
        editor.processTableClick(1, 2); // a number column empties the list
        QVERIFY(editor.listView->model() == nullptr);
        editor.processListClick(names->index(0, 0));
        QCOMPARE(cell(editor, 1, 2), QStringLiteral("0.0123457"));
    }

    void openAndSaveXml()
    {
        BvhMathObject physics;
        twoSegments(physics);
        MassSegmentWidget editor;
        editor.mathObject = &physics;
        editor.refreshTable();
        const QString path = dir.filePath(QStringLiteral("model.xml"));
        QStringList answers{path, path};
        QStringList warnings;
        UserDialogs::Handler handler;
        handler.saveFileName = [&](const QString&, const QString&, const QString&) {
            return answers.takeFirst();
        };
        handler.openFileName = handler.saveFileName;
        handler.warning = [&](const QString&, const QString& text) { warnings << text; };
        UserDialogs::install(handler);

        setCell(editor, 0, 0, QStringLiteral("Edited")); // not applied: Save XML writes the model
        editor.saveButton->click();
        BvhMathObject other;
        QVERIFY(other.readMassSegments(path));
        QCOMPARE(other.startJointNames, QStringList({"Hips", "Spine"}));

        physics.clearSegments();
        editor.openButton->click(); // replaces the model at once and shows it
        QCOMPARE(physics.startJointNames, QStringList({"Hips", "Spine"}));
        QCOMPARE(cell(editor, 0, 0), QStringLiteral("Hips"));

        answers = {QStringLiteral("/nonexistent/dir/model.xml")};
        editor.saveButton->click();
        QCOMPARE(warnings.size(), 1);
        QVERIFY(warnings[0].contains(QLatin1String("/nonexistent/dir/model.xml")));
        UserDialogs::install({});
    }

    void aboutBoxes()
    {
        QPointer<AboutWidget> first = new AboutWidget;
        QPointer<AboutWidget> second = new AboutWidget;
        first->show();
        second->show();
        QVERIFY(first != second);
        QCOMPARE(first->label_4->text(), QStringLiteral("Compiled with Qt " QT_VERSION_STR));
        QVERIFY(first->label_5->text().contains(QLatin1String("Kinovane developers")));
        first->okButton->click();
        QTRY_VERIFY(first.isNull()); // deletes itself when closed
        QVERIFY(!second.isNull());
        second->close();
        QTRY_VERIFY(second.isNull());
    }
};

QTEST_MAIN(TestToolWindows)
#include "tst_toolwindows.moc"
