#include "document/motiondocument.h"
#include "model/bvhjoint.h"
#include "model/poseevaluator.h"
#include "support/testsupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The open motion as the window holds it: what opening, closing, the frame shown, the marks
// and the edits do to it, and which signals say so (each once, and only on a real change).
class TestDocument : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString smallPath; // smallMotion(100): Hips 0-5, Spine 6-8, LeftLeg 9-11
    std::unique_ptr<MotionDocument> document;

    static SetupRequest profile(const char* name)
    {
        SetupRequest request;
        request.profileName = QString::fromLatin1(name);
        return request;
    }

    // Every signal of the document, counted from now.
    struct Spies
    {
        explicit Spies(MotionDocument& d)
            : replaced(&d, &MotionDocument::motionReplaced),
              frame(&d, &MotionDocument::currentFrameChanged),
              range(&d, &MotionDocument::markedRangeChanged),
              setup(&d, &MotionDocument::setupChanged), model(&d, &MotionDocument::modelChanged),
              edited(&d, &MotionDocument::motionEdited)
        {
        }
        QSignalSpy replaced, frame, range, setup, model, edited;
    };

    // What the document holds (not where the user looks).
    struct Held
    {
        FrameRows frames;
        QList<Eigen::Vector3d> offsets;
        SetupRequest request;
        QString setup;
        MassSegmentModel segments;
        bool userModel;
        AnalysisSettings settings;
        bool operator==(const Held&) const = default;
    };
    Held held() const
    {
        QList<Eigen::Vector3d> offsets;
        for (const BvhJoint* joint : document->getMotion().root->getAllJoints())
            offsets.append(joint->getExactOffset());
        return {document->getMotion().frames,   offsets,
                document->getSetupRequest(),    document->getSetup().summary(),
                document->getSetup().segments,  document->hasUserModel(),
                document->getAnalysisSettings()};
    }

private slots:
    void initTestCase()
    {
        smallPath = TestSupport::writeFile(dir, "small.bvh", TestSupport::smallMotion(100, "0.04"));
    }

    void init()
    {
        document = std::make_unique<MotionDocument>(SkeletonProfiles::load({}));
        QVERIFY(document->open(smallPath).ok());
    }

    // A file that cannot be read changes nothing and says nothing; one that can replaces
    // everything at once: frame 0 shown, every frame marked, the profile detected anew.
    void openAndClose()
    {
        document->setCurrentFrame(40);
        document->markFirst(30);
        document->setSetupRequest(profile("cmu"));
        Spies spies(*document);
        for (const QString& bad :
             {dir.filePath("absent.bvh"), TestSupport::writeFile(dir, "junk.bvh", "junk\n")})
            QVERIFY(!document->open(bad).ok());
        QCOMPARE(spies.replaced.count() + spies.frame.count() + spies.range.count(), 0);
        QCOMPARE(document->getCurrentFrame(), 40);
        QCOMPARE(document->getFileName(), smallPath);

        QVERIFY(document->open(smallPath).ok());
        QCOMPARE(spies.replaced.count(), 1);
        QCOMPARE(document->getUndoStack().count(), 0); // the last motion's edits are gone
        QCOMPARE(document->getCurrentFrame(), 0);
        QCOMPARE(document->getMarkedRange(), FrameRange::all(100));
        QVERIFY(document->getSetupRequest().profileName.isEmpty() &&
                document->getSetup().origin != MotionSetup::Origin::Chosen);
        QCOMPARE(document->suggestedName("com", "csv"), dir.filePath("small-com.csv"));
        QCOMPARE(document->suggestedName(QString(), "c3d"), dir.filePath("small.c3d"));

        document->close();
        QCOMPARE(spies.replaced.count(), 2);
        QVERIFY(!document->isOpen() && document->getFileName().isEmpty());
        QVERIFY(document->getMarkedRange().isEmpty() && document->posedJoints(0).empty());
        document->setCurrentFrame(5); // nothing to show
        QCOMPARE(document->getCurrentFrame() + spies.frame.count(), 0);
    }

    void markedRange_data()
    {
        QTest::addColumn<FrameRange>("asked");
        QTest::addColumn<FrameRange>("marked");
        QTest::newRow("in order") << FrameRange{20, 60} << FrameRange{20, 60};
        QTest::newRow("reversed is put in order") << FrameRange{60, 20} << FrameRange{20, 60};
        QTest::newRow("past the end is cut") << FrameRange{90, 500} << FrameRange{90, 99};
        QTest::newRow("before the start is cut") << FrameRange{-5, 3} << FrameRange{0, 3};
        QTest::newRow("wholly past the end") << FrameRange{150, 200} << FrameRange{99, 99};
        QTest::newRow("unchanged") << FrameRange{0, 99} << FrameRange{0, 99};
    }

    // A marked range is never reversed and never leaves the motion; a change is said once.
    void markedRange()
    {
        QFETCH(FrameRange, asked);
        QFETCH(FrameRange, marked);
        Spies spies(*document);
        document->setMarkedRange(asked);
        QCOMPARE(document->getMarkedRange(), marked);
        QCOMPARE(spies.range.count(), marked == FrameRange::all(100) ? 0 : 1);
    }

    void marks_data()
    {
        QTest::addColumn<QString>("marks"); // "[f" and "]f" in turn
        QTest::addColumn<FrameRange>("marked");
        QTest::newRow("first then last") << "[20 ]60" << FrameRange{20, 60};
        QTest::newRow("first past the last moves the last") << "]34 [79" << FrameRange{79, 79};
        QTest::newRow("last before the first moves the first") << "[50 ]10" << FrameRange{10, 10};
        QTest::newRow("a mark past the end") << "[120" << FrameRange{99, 99};
    }

    // The [ and ] marks of the timeline.
    void marks()
    {
        QFETCH(QString, marks);
        QFETCH(FrameRange, marked);
        for (const QString& mark : marks.split(' ')) {
            const int frame = mark.mid(1).toInt();
            if (mark.startsWith('['))
                document->markFirst(frame);
            else
                document->markLast(frame);
        }
        QCOMPARE(document->getMarkedRange(), marked);
    }

    void currentFrame_data()
    {
        QTest::addColumn<int>("asked");
        QTest::addColumn<int>("shown");
        QTest::newRow("within") << 42 << 42;
        QTest::newRow("before the first") << -3 << 0;
        QTest::newRow("past the last") << 1000 << 99;
        QTest::newRow("the one shown") << 0 << 0;
    }

    void currentFrame()
    {
        QFETCH(int, asked);
        QFETCH(int, shown);
        Spies spies(*document);
        document->setCurrentFrame(asked);
        QCOMPARE(document->getCurrentFrame(), shown);
        QCOMPARE(spies.frame.count(), shown == 0 ? 0 : 1);
    }

    void edits_data()
    {
        QTest::addColumn<int>("frame");
        QTest::addColumn<int>("column");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("edits"); // motionEdited signals
        QTest::newRow("a typed value, kept as typed") << 7 << 2 << 1234.5678 << 1;
        QTest::newRow("more digits than a float holds") << 7 << 4 << -37.123456789 << 1;
        QTest::newRow("the last column") << 9 << 11 << 5.25 << 1;
        QTest::newRow("the same value") << 7 << 1 << 71.0 << 0;
        QTest::newRow("a frame outside the motion") << 100 << 1 << 5.0 << 0;
        QTest::newRow("a column before the row") << 7 << -1 << 5.0 << 0;
        QTest::newRow("a column past the row") << 7 << 12 << 5.0 << 0;
    }

    // A value goes into the frame table as given, the very double; the poses of that frame
    // change and no other.
    void edits()
    {
        QFETCH(int, frame);
        QFETCH(int, column);
        QFETCH(double, value);
        QFETCH(int, edits);
        const FrameRows before = document->getMotion().frames;
        Spies spies(*document);
        document->setValue(frame, column, value);
        QCOMPARE(spies.edited.count(), edits);
        if (edits == 0) {
            QVERIFY(document->getMotion().frames == before);
            return;
        }
        QCOMPARE(document->getValue(frame, column), value);
        // The copy taken before the edit keeps the old value: the rows were shared, not changed.
        QVERIFY(before[frame][size_t(column)] != value);
        QCOMPARE(spies.edited.first().first().value<FrameRange>(), (FrameRange{frame, frame}));
    }

    // Every change of what the document holds is one step on its stack: undo brings back
    // exactly what was there, redo what the change made, and a change to what is already
    // there is no step and no signal.
    void everyChangeUndoes_data()
    {
        QTest::addColumn<QString>("change");
        for (const char* change : {"value", "offset", "rows", "model", "profile", "unit",
                                   "convention", "settings", "same settings", "same value"})
            QTest::newRow(change) << QString::fromLatin1(change);
    }
    void everyChangeUndoes()
    {
        QFETCH(QString, change);
        document->setSetupRequest(profile("cmu"), "first");
        const Held before = held();
        Spies spies(*document);
        QSignalSpy settingsChanged(document.get(), &MotionDocument::analysisSettingsChanged);
        SetupRequest request = document->getSetupRequest();
        AnalysisSettings settings = document->getAnalysisSettings();
        if (change == "value")
            document->setValue(3, 7, 12.5);
        else if (change == "same value")
            document->setValue(3, 7, document->getValue(3, 7));
        else if (change == "offset")
            document->setOffset(1, 2, -4.25);
        else if (change == "rows")
            document->replaceRows(10, TestSupport::frameRows({QList<double>(12, 0.5)}));
        else if (change == "model")
            document->setModel(
                TestSupport::segmentModel("Hips>Spine 0.5 0.5;LeftLeg>Hips 0.5 0.5"));
        else if (change == "profile")
            request.profileName = QStringLiteral("ipi");
        else if (change == "unit")
            request.unit = LengthUnit::metres();
        else if (change == "convention")
            request.convention = PoseConvention::ipiStudio();
        else if (change == "settings")
            settings.cutoffHz = 4;
        document->setSetupRequest(request);
        if (change != "same settings")
            document->setAnalysisSettings(settings);
        else
            document->setAnalysisSettings(AnalysisSettings(document->getAnalysisSettings()));
        QUndoStack& stack = document->getUndoStack();
        const bool same = change.startsWith("same");
        QCOMPARE(stack.count(), same ? 1 : 2);
        const Held after = held();
        QCOMPARE(after == before, same);
        const qsizetype announced = spies.setup.count() + spies.model.count() +
                                    spies.edited.count() + settingsChanged.count();
        QCOMPARE(announced == 0, same);
        if (same)
            return;
        stack.undo();
        QVERIFY(held() == before);
        stack.redo();
        QVERIFY(held() == after);
        stack.undo();
        stack.undo();
        QCOMPARE(document->getSetupRequest(), SetupRequest());
    }

    // Only changes of the one value fold into one step: a change of another channel of the
    // same frame stays a step of its own, which undoes on its own.
    void onlyTheSameValueFolds()
    {
        const double x = document->getValue(3, 7), y = document->getValue(3, 8);
        document->setValue(3, 7, 1.0);
        document->setValue(3, 7, 2.0);
        document->setValue(3, 8, 5.0);
        QCOMPARE(document->getUndoStack().count(), 2);
        document->getUndoStack().undo();
        QVERIFY(document->getValue(3, 8) == y && document->getValue(3, 7) == 2.0);
        document->getUndoStack().undo();
        QCOMPARE(document->getValue(3, 7), x);
        document->setOffset(1, 0, 3.0);
        document->setOffset(1, 1, 4.0);
        QCOMPARE(document->getUndoStack().count(), 2);
    }

    // An offset is kept as typed and moves every pose; rows replaced at once stop at the
    // motion's end.
    void offsetsAndRows()
    {
        Spies spies(*document);
        const Vector3f before = document->posedJoints(0)[1];
        document->setOffset(1, 1, 10.123456789); // Spine, 10 before
        QCOMPARE(document->getMotion().root->getChild(0)->getExactOffset().y(), 10.123456789);
        QCOMPARE(spies.edited.first().first().value<FrameRange>(), FrameRange::all(100));
        // Spine moves along its parent's turn by the change of its offset.
        const Vector3f moved = document->posedJoints(0)[1] - before;
        QVERIFY2(std::abs(moved.norm() - 0.123457f) < 1e-5f,
                 qPrintable(TestSupport::toString(moved)));
        document->setOffset(9, 1, 2); // no such joint
        QCOMPARE(spies.edited.count(), 1);

        const QList<double> row(12, 0.5);
        document->replaceRows(98, TestSupport::frameRows({row, row, row}));
        QCOMPARE(spies.edited.last().first().value<FrameRange>(), (FrameRange{98, 99}));
        QCOMPARE(TestSupport::rowList(document->getMotion().frames)[99], row);
        QCOMPARE(document->rowCount(), 100);
    }

    // The poses follow the setup's convention: under the standard one the root's position
    // channels replace its offset instead of adding to it.
    void posesFollowTheSetup()
    {
        document->setOffset(0, 1, 90);
        Spies spies(*document);
        const std::span<const double> row = document->getMotion().frames[3];
        for (const auto& [name, hipsHeight] :
             {std::pair("ipi", 90.0f + float(row[1])), std::pair("cmu", float(row[1]))}) {
            document->setSetupRequest(TestDocument::profile(name));
            QCOMPARE(document->posedJoints(3)[0].y(), hipsHeight);
            PoseEvaluator pose(document->getMotion().root, document->getSetup().convention);
            pose.evaluateRow(row);
            QVERIFY(TestSupport::sameBits(pose.getPosition(4), document->posedJoints(3)[4]));
        }
        QCOMPARE(spies.setup.count(), 2);
    }

    // A model the user made stays while the motions opened fit it, and is named so; one that
    // does not fit gives way to the profile's.
    void userModelStaysWhileItFits()
    {
        const MassSegmentModel own =
            TestSupport::segmentModel("Hips>Spine 0.5 0.5;LeftLeg>Hips 0.5 0.5");
        Spies spies(*document);
        document->setModel(own);
        QCOMPARE(spies.model.count(), 1);
        QVERIFY(document->getSetup().binding.isComplete());
        QVERIFY(document->getSetup().summary().endsWith(", your own model"));
        QVERIFY(document->open(smallPath).ok());
        QVERIFY(document->hasUserModel() && document->getSetup().segments == own);
        document->close();
        QVERIFY(document->hasUserModel()); // no motion: nothing it could fail to fit
        const QString other = TestSupport::writeFile(
            dir, "other.bvh", QByteArray(TestSupport::smallMotion(2)).replace("Spine", "Chest"));
        QVERIFY(document->open(other).ok());
        QVERIFY(!document->hasUserModel() && document->getSetup().segments != own);
    }
};

QTEST_GUILESS_MAIN(TestDocument)
#include "tst_document.moc"
