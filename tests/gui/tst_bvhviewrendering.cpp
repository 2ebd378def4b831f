#include "view/bvhview.h"
#include "viewfixture.h"

#include <QImage>
#include <QTest>

// What the view draws, read back from its framebuffer under a real (software) OpenGL: the
// figure of ViewFixture seen from the camera centred on its root, in a 640x480 image.
class TestBvhViewRendering : public QObject
{
    Q_OBJECT

private:
    // Lit colours: the side of a sphere facing the eye is lit at about 90% plus a highlight,
    // so a full channel reads above 170 and an empty one below 90.
    enum class Colour
    {
        White,
        Yellow,
        Red,
        Magenta
    };

    static bool looksLike(QRgb pixel, Colour colour)
    {
        const auto full = [](int channel) { return channel > 170; };
        const auto empty = [](int channel) { return channel < 90; };
        const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
        switch (colour) {
        case Colour::White:
            return full(r) && full(g) && full(b);
        case Colour::Yellow:
            return full(r) && full(g) && empty(b);
        case Colour::Red:
            return full(r) && empty(g) && empty(b);
        case Colour::Magenta:
            return full(r) && empty(g) && full(b);
        }
        return false;
    }

    static QString describe(QRgb pixel)
    {
        return QStringLiteral("rgb(%1, %2, %3)")
            .arg(qRed(pixel))
            .arg(qGreen(pixel))
            .arg(qBlue(pixel));
    }

    // Where a world point lands in the image, through the view's own camera.
    static QPoint project(const BvhView& view, const QVector3D& point)
    {
        const float aspect = float(view.width()) / float(view.height());
        const QVector3D ndc =
            (view.getCamera().projectionMatrix(aspect) * view.getCamera().viewMatrix()).map(point);
        return QPoint(qRound((ndc.x() + 1) / 2 * float(view.width()) - 0.5f),
                      qRound((1 - ndc.y()) / 2 * float(view.height()) - 0.5f));
    }

    struct Scene
    {
        ViewFixture fixture;
        BvhView view;
        QImage image;
    };

    // Updated before the view is shown: the first paint must show this state.
    static void render(Scene& scene)
    {
        QVERIFY(scene.fixture.load());
        scene.view.resize(640, 480);
        scene.view.setMathObject(&scene.fixture.physics);
        scene.view.setHighlightedJoint(scene.fixture.joint("LeftArm"));
        scene.view.centerCameraOnRoot();
        scene.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&scene.view));
        scene.image = scene.view.grabFramebuffer();
        QCOMPARE(scene.image.size(), QSize(640, 480));
    }

private slots:
    void itemColours_data()
    {
        QTest::addColumn<QVector3D>("point");
        QTest::addColumn<int>("colour");
        QTest::newRow("end of the arm") << QVector3D(80, 130, 0) << int(Colour::White);
        QTest::newRow("head") << QVector3D(0, 160, 0) << int(Colour::White);
        QTest::newRow("highlighted arm joint") << QVector3D(40, 130, 0) << int(Colour::Yellow);
        QTest::newRow("upper arm centre") << QVector3D(20, 130, 0) << int(Colour::Red);
        QTest::newRow("body centre") << QVector3D(0, 110, 0) << int(Colour::Magenta);
    }

    void itemColours()
    {
        QFETCH(QVector3D, point);
        QFETCH(int, colour);
        Scene scene;
        render(scene);
        const QPoint pixel = project(scene.view, point);
        QVERIFY(scene.image.rect().contains(pixel));
        const QRgb value = scene.image.pixel(pixel);
        QVERIFY2(looksLike(value, Colour(colour)), qPrintable(describe(value)));
    }

    // The camera looks at the root, so the root is drawn in the middle of the image whatever
    // the projection.
    void rootInTheMiddle()
    {
        Scene scene;
        render(scene);
        const QRgb value = scene.image.pixel(320, 240);
        QVERIFY2(looksLike(value, Colour::White), qPrintable(describe(value)));
    }

    // The corners lie above the horizon and far from the figure; a parked pool node used to
    // show at (50, 50, 50), which nothing occupies here.
    void backgroundElsewhere()
    {
        Scene scene;
        render(scene);
        const QRgb background = BvhView::getBackgroundColour().rgb();
        for (const QPoint& corner : {QPoint(3, 3), QPoint(636, 3)})
            QCOMPARE(describe(scene.image.pixel(corner)), describe(background));
        const QRgb parked = scene.image.pixel(project(scene.view, QVector3D(50, 50, 50)));
        QVERIFY2(!looksLike(parked, Colour::White), qPrintable(describe(parked)));
    }

    // Grid lines run through x = 0 and every multiple of the spacing (20 for this figure) on
    // the ground; in front of the figure they are the only thing drawn, in grey, with the
    // background between them.
    void groundGrid()
    {
        Scene scene;
        render(scene);
        const QPoint onLine = project(scene.view, QVector3D(0, 0, 110));
        const QRgb background = BvhView::getBackgroundColour().rgb();
        bool found = false;
        for (int dx = -1; dx <= 1 && !found; ++dx) {
            const QRgb value = scene.image.pixel(onLine + QPoint(dx, 0));
            found = qGray(value) > qGray(background) + 20 &&
                    qAbs(qRed(value) - qGreen(value)) < 20 &&
                    qAbs(qBlue(value) - qGreen(value)) < 20;
        }
        QVERIFY(found);
        const QPoint between =
            project(scene.view, QVector3D(scene.view.getScene().getGridSpacing() / 2, 0, 110));
        QCOMPARE(describe(scene.image.pixel(between)), describe(background));
    }
};

QTEST_MAIN(TestBvhViewRendering)
#include "tst_bvhviewrendering.moc"
