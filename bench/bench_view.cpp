// Speed of the 3D view: placing a 60-joint skeleton with 14 mass segments for one frame, and
// painting it at 1280x720. Run under a display (xvfb-run -a for the software renderer).
#include "document/motiondocument.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "support/testsupport.h"
#include "view/bvhview.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// Gives the benchmark the paint step alone, without the widget's composition.
class RenderingBvhView : public BvhView
{
public:
    void renderOnce()
    {
        makeCurrent();
        paintGL();
        context()->functions()->glFinish();
        doneCurrent();
    }
};

class BenchView : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    MotionDocument document{SkeletonProfiles::load()};

private slots:
    void initTestCase()
    {
        const QString path = TestSupport::writeFile(dir, QStringLiteral("m.bvh"),
                                                    TestSupport::branchedMotion(60, 4));
        QVERIFY(document.open(path).ok());
        QCOMPARE(document.getMotion().root->getAllJoints().size(), 60);
        document.setCurrentFrame(1);
        const QStringList names = document.getMotion().root->getAllJointNames();
        MassSegmentModel segments;
        for (int k = 0; k < 14; ++k)
            segments.append({names[k + 1], names[k + 2], 0.45, 1.0 / 14});
        document.setModel(segments);
    }

    void updateSkeletons()
    {
        BvhView view;
        view.setDocument(&document); // framed as on opening: follows the root if it travels
        document.setSelectedJoint(
            document.indexOf(document.getMotion().root->getJointByName(QStringLiteral("Joint20"))));
        QBENCHMARK
        {
            view.updateSkeletons();
        }
    }

    void paint_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("scene into the framebuffer") << QStringLiteral("render");
        QTest::newRow("update shown on screen") << QStringLiteral("update");
        QTest::newRow("paint and read back") << QStringLiteral("grab");
    }

    // The scene drawn into the widget's framebuffer with the GL work waited for; a whole
    // widget update up to the frame being shown; and a paint read back into an image.
    void paint()
    {
        QFETCH(QString, mode);
        RenderingBvhView view;
        view.resize(1280, 720);
        view.setDocument(&document);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.fitSkeleton(); // framed as on opening, at the window's size
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QSignalSpy swapped(&view, &QOpenGLWidget::frameSwapped);
        QBENCHMARK
        {
            if (mode == QLatin1String("render")) {
                view.renderOnce();
            } else if (mode == QLatin1String("update")) {
                view.update();
                QVERIFY(swapped.wait(1000));
            } else {
                view.grabFramebuffer();
            }
        }
    }
};

QTEST_MAIN(BenchView)
#include "bench_view.moc"
