#include "view/mesh.h"
#include "view/skeletonscene.h"
#include "viewfixture.h"

#include <QTest>

#include <algorithm>
#include <vector>

// The meshes, and what the scene puts where, without any GL.
class TestSkeletonScene : public QObject
{
    Q_OBJECT

private:
    // Hips (0, 90, 0) -> Chest (0, 130, 0) -> Arm (40, 130, 0); Hips -> Leg (-20, 10, 30).
    const std::vector<Vector3f> positions{Vector3f(0, 90, 0), Vector3f(0, 130, 0),
                                          Vector3f(40, 130, 0), Vector3f(-20, 10, 30)};
    const std::vector<int> parents{-1, 0, 1, 0};

    // The sphere mesh has radius 1: `radius` is the scale the node gives it.
    static void checkSphere(const SceneNode& node, const QVector3D& centre, float radius,
                            const Material* material)
    {
        QVERIFY(node.isVisible());
        QCOMPARE(node.getMaterial(), material);
        QVERIFY(nearlyEqual(node.getLocalTransform().map(QVector3D()), centre));
        QVERIFY(nearlyEqual(node.getLocalTransform().mapVector(QVector3D(1, 0, 0)),
                            QVector3D(radius, 0, 0)));
    }

    // The cylinder mesh runs from z = -0.5 to 0.5 with radius 1.25: placed, its ends are the
    // two joints and its radius is unchanged, by a turn and not a mirror.
    static void checkBone(const SceneNode& node, const QVector3D& from, const QVector3D& to)
    {
        const QMatrix4x4& m = node.getLocalTransform();
        QVERIFY(node.isVisible());
        QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, -0.5f)), from));
        QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, 0.5f)), to));
        QVERIFY(m.determinant() > 0);
        const QVector3D radial = m.mapVector(QVector3D(1.25f, 0, 0));
        QVERIFY(qAbs(radial.length() - 1.25f) < 1e-4f);
        QVERIFY(qAbs(QVector3D::dotProduct(radial, to - from)) < 1e-2f);
    }

private slots:
    void closedMeshes_data()
    {
        QTest::addColumn<bool>("sphere");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("triangles");
        // 2^d slices and 2^(d-1) stacks, the two polar stacks with one triangle per slice.
        QTest::newRow("sphere of depth 2") << true << 2 << 4 * 2 * 2 - 2 * 4;
        QTest::newRow("sphere, depth clamped to 7") << true << 9 << 128 * 64 * 2 - 2 * 128;
        QTest::newRow("cylinder of 6 slices, 3 layers") << false << 0 << 6 * 3 * 2;
    }

    // Every vertex lies on the surface with a unit normal, and every triangle turns
    // counter-clockwise seen from outside: the lighting tells a bone's outside by it.
    void closedMeshes()
    {
        QFETCH(bool, sphere);
        QFETCH(int, depth);
        QFETCH(int, triangles);
        const Mesh mesh = sphere ? Mesh::sphere(2.0f, depth) : Mesh::cylinder(2.5f, 2.5f, 1, 6, 3);
        QCOMPARE(mesh.getIndexCount(), 3 * triangles);
        for (int v = 0; v < mesh.getVertexCount(); ++v) {
            const QVector3D p = mesh.getPosition(v);
            QVERIFY(qAbs(mesh.getNormal(v).length() - 1) < 1e-5f);
            const float radius = sphere ? p.length() : p.toVector2D().length();
            QVERIFY2(qAbs(radius - (sphere ? 1.0f : 1.25f)) < 1e-5f,
                     qPrintable(QString::number(v)));
            QVERIFY(sphere || qAbs(p.z()) <= 0.5f + 1e-6f);
        }
        const std::vector<quint16>& indices = mesh.getIndices();
        for (size_t t = 0; t < indices.size(); t += 3) {
            QVERIFY(std::max({indices[t], indices[t + 1], indices[t + 2]}) < mesh.getVertexCount());
            const QVector3D a = mesh.getPosition(indices[t]);
            const QVector3D face = QVector3D::crossProduct(mesh.getPosition(indices[t + 1]) - a,
                                                           mesh.getPosition(indices[t + 2]) - a);
            const QVector3D outward = mesh.getNormal(indices[t]) + mesh.getNormal(indices[t + 1]) +
                                      mesh.getNormal(indices[t + 2]);
            QVERIFY2(face.length() > 1e-6f && QVector3D::dotProduct(face, outward) > 0,
                     qPrintable(QString::number(t)));
        }
    }

    // Spheres go to the joints in order, then to the segment centres, then to the body centre.
    void placesJointsBonesAndMarkers()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        const std::vector<Vector3f> centres{Vector3f(1, 50, -1), Vector3f(2, 50, -2)};
        scene.place(positions, parents, 2, centres, Vector3f(7, 77, 0));
        const std::vector<SceneNode>& spheres = scene.getSphereNodes();
        for (size_t i = 0; i < positions.size(); ++i) {
            const bool highlighted = i == 2;
            checkSphere(spheres[i], toQVector(positions[i]), highlighted ? 4 : 2,
                        highlighted ? &scene.yellowMaterial : &scene.whiteMaterial);
        }
        checkSphere(spheres[4], QVector3D(1, 50, -1), 2, &scene.redMaterial);
        checkSphere(spheres[5], QVector3D(2, 50, -2), 2, &scene.redMaterial);
        checkSphere(spheres[6], QVector3D(7, 77, 0), 4, &scene.magentaMaterial);
        QCOMPARE(visibleCount(spheres), 7);
        for (size_t i = 1; i < positions.size(); ++i)
            checkBone(scene.getCylinderNodes()[i - 1], toQVector(positions[size_t(parents[i])]),
                      toQVector(positions[i]));
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 3);

        // Another highlight restores the first joint; markers no longer shown are hidden.
        scene.place(positions, parents, 1, {}, std::nullopt);
        checkSphere(spheres[1], toQVector(positions[1]), 4, &scene.yellowMaterial);
        checkSphere(spheres[2], toQVector(positions[2]), 2, &scene.whiteMaterial);
        QCOMPARE(visibleCount(spheres), 4);
    }

    // A bone along the mesh axis gives no axis to turn about; a bone of length 0 gave a NaN
    // turn (regression) and is not drawn.
    void degenerateBones()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        const std::vector<Vector3f> joints{Vector3f(5, 5, 5), Vector3f(5, 5, 30), Vector3f(5, 5, 5),
                                           Vector3f(5, 5, 5)};
        scene.place(joints, std::vector<int>{-1, 0, 1, 2}, -1, {}, std::nullopt);
        checkBone(scene.getCylinderNodes()[0], QVector3D(5, 5, 5), QVector3D(5, 5, 30));
        checkBone(scene.getCylinderNodes()[1], QVector3D(5, 5, 30), QVector3D(5, 5, 5));
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 2);
        QCOMPARE(visibleCount(scene.getSphereNodes()), 4);
    }

    // regression: a pool of fixed size put every joint past its end on its last node, segment
    // markers vanished for skeletons of 77 joints or more, and idle nodes were parked at
    // (50, 50, 50), where they still showed.
    void poolFitsEverySkeleton()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        QCOMPARE(visibleCount(scene.getSphereNodes()) + visibleCount(scene.getCylinderNodes()), 0);
        std::vector<Vector3f> joints;
        std::vector<int> chain;
        for (int i = 0; i < 200; ++i) {
            joints.emplace_back(float(i), float(i % 7), 0);
            chain.push_back(i - 1);
        }
        const std::vector<Vector3f> centres(14, Vector3f(3, 3, 3));
        scene.place(joints, chain, 150, centres, Vector3f(1, 1, 1));
        const std::vector<SceneNode>& spheres = scene.getSphereNodes();
        QCOMPARE(visibleCount(spheres), 200 + 14 + 1);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 199);
        checkSphere(spheres[199], QVector3D(199, 199 % 7, 0), 2, &scene.whiteMaterial);
        checkSphere(spheres[150], QVector3D(150, 150 % 7, 0), 4, &scene.yellowMaterial);
        checkSphere(spheres[213], QVector3D(3, 3, 3), 2, &scene.redMaterial);
        checkSphere(spheres[214], QVector3D(1, 1, 1), 4, &scene.magentaMaterial);

        scene.place(positions, parents, -1, {}, std::nullopt);
        QCOMPARE(visibleCount(scene.getSphereNodes()), 4);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 3);
    }

    // A round spacing of about a quarter of the skeleton's reach.
    void gridSpacing()
    {
        for (const auto& [reach, spacing] : {std::pair{95.0f, 20.0f}, // a human in centimetres
                                             {36.0f, 5.0f},           // in inches
                                             {0.95f, 0.2f},           // in metres
                                             {40.0f, 10.0f},          // exactly a round quarter
                                             {19.9f, 2.0f},           // just under five
                                             {0.0f, 10.0f}})          // no bones
            QCOMPARE(SkeletonScene::gridSpacingFor(reach), spacing);
    }
};

QTEST_APPLESS_MAIN(TestSkeletonScene)
#include "tst_skeletonscene.moc"
