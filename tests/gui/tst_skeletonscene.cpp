#include "scenechecks.h"
#include "view/mesh.h"
#include "view/skeletonscene.h"

#include <QTest>

#include <cmath>
#include <vector>

// The meshes, and placement on the scene without any GL: which node gets which transform,
// material and visibility.
class TestSkeletonScene : public QObject
{
    Q_OBJECT

private:
    // Hips (0, 90, 0) -> Chest (0, 130, 0) -> Arm (40, 130, 0); Hips -> Leg (-20, 10, 30).
    const std::vector<Vector3f> positions{Vector3f(0, 90, 0), Vector3f(0, 130, 0),
                                          Vector3f(40, 130, 0), Vector3f(-20, 10, 30)};
    const std::vector<int> parents{-1, 0, 1, 0};

private slots:
    void closedMeshes_data()
    {
        QTest::addColumn<QString>("shape");
        QTest::addColumn<float>("radius");
        QTest::newRow("sphere") << QStringLiteral("sphere") << 1.0f;
        QTest::newRow("cylinder") << QStringLiteral("cylinder") << 1.25f;
    }

    // Every vertex lies on the surface with a unit normal pointing outwards, and every
    // triangle turns counter-clockwise seen from outside, which the two-sided lighting relies
    // on to tell the outside of a bone from its inside.
    void closedMeshes()
    {
        QFETCH(QString, shape);
        QFETCH(float, radius);
        const Mesh mesh = shape == QLatin1String("sphere") ? Mesh::sphere(2.0f, 5)
                                                           : Mesh::cylinder(2.5f, 2.5f, 1, 6, 3);
        QCOMPARE(mesh.getPrimitive(), Mesh::Primitive::Triangles);
        QVERIFY(mesh.getVertexCount() > 0);
        for (int v = 0; v < mesh.getVertexCount(); ++v) {
            const QVector3D p = mesh.getPosition(v);
            const QVector3D n = mesh.getNormal(v);
            QVERIFY(qAbs(n.length() - 1) < 1e-5f);
            const float distance =
                shape == QLatin1String("sphere") ? p.length() : p.toVector2D().length();
            QVERIFY2(qAbs(distance - radius) < 1e-5f, qPrintable(QString::number(v)));
            if (shape == QLatin1String("cylinder"))
                QVERIFY(qAbs(p.z()) <= 0.5f + 1e-6f);
        }
        const std::vector<quint16>& indices = mesh.getIndices();
        QCOMPARE(indices.size() % 3, size_t(0));
        QVERIFY(!indices.empty());
        for (size_t t = 0; t < indices.size(); t += 3) {
            QVERIFY(indices[t] < mesh.getVertexCount() && indices[t + 1] < mesh.getVertexCount() &&
                    indices[t + 2] < mesh.getVertexCount());
            const QVector3D a = mesh.getPosition(indices[t]);
            const QVector3D face = QVector3D::crossProduct(mesh.getPosition(indices[t + 1]) - a,
                                                           mesh.getPosition(indices[t + 2]) - a);
            QVERIFY2(face.length() > 1e-6f, "degenerate triangle");
            const QVector3D outward = mesh.getNormal(indices[t]) + mesh.getNormal(indices[t + 1]) +
                                      mesh.getNormal(indices[t + 2]);
            QVERIFY2(QVector3D::dotProduct(face, outward) > 0, qPrintable(QString::number(t)));
        }
    }

    void meshSizes_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("triangles");
        // 2^d slices and 2^(d-1) stacks, the two polar stacks with one triangle per slice.
        QTest::newRow("depth 2") << 2 << 4 * 2 * 2 - 2 * 4;
        QTest::newRow("depth clamped to 7") << 9 << 128 * 64 * 2 - 2 * 128;
    }

    void meshSizes()
    {
        QFETCH(int, depth);
        QFETCH(int, triangles);
        QCOMPARE(Mesh::sphere(1, depth).getIndexCount(), 3 * triangles);
    }

    void gridLiesOnTheGround()
    {
        const Mesh grid = Mesh::grid(3);
        QCOMPARE(grid.getPrimitive(), Mesh::Primitive::Lines);
        QCOMPARE(grid.getIndexCount(), 7 * 4); // 7 lines along x and 7 along z
        for (int v = 0; v < grid.getVertexCount(); ++v) {
            QCOMPARE(grid.getPosition(v).y(), 0.0f);
            QVERIFY(qAbs(grid.getPosition(v).x()) <= 3 && qAbs(grid.getPosition(v).z()) <= 3);
        }
    }

    void jointsGetWhiteSpheresInOrder()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        scene.place(positions, parents, -1, {}, std::nullopt);
        const std::vector<SceneNode>& spheres = scene.getSphereNodes();
        QCOMPARE(visibleCount(spheres), 4);
        for (size_t i = 0; i < positions.size(); ++i) {
            const SceneNode& node = spheres[i];
            QCOMPARE(node.getName(), QStringLiteral("joint"));
            QVERIFY(node.isVisible());
            QCOMPARE(node.getMaterial(), &scene.whiteMaterial);
            const QMatrix4x4& m = node.getLocalTransform();
            QVERIFY(nearlyEqual(m.map(QVector3D()), toQVector(positions[i])));
            // Sphere mesh of diameter 2 scaled by 2: a drawn diameter of 4.
            QVERIFY(
                nearlyEqual(m.map(QVector3D(1, 0, 0)) - m.map(QVector3D()), QVector3D(2, 0, 0)));
        }
    }

    void highlightedJointIsYellowAndTwiceAsLarge()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        scene.place(positions, parents, 2, {}, std::nullopt);
        const SceneNode& node = scene.getSphereNodes()[2];
        QCOMPARE(node.getMaterial(), &scene.yellowMaterial);
        QVERIFY(nearlyEqual(node.getLocalTransform().mapVector(QVector3D(1, 0, 0)),
                            QVector3D(4, 0, 0)));
        // Choosing another joint restores the first.
        scene.place(positions, parents, 1, {}, std::nullopt);
        QCOMPARE(scene.getSphereNodes()[2].getMaterial(), &scene.whiteMaterial);
        QVERIFY(
            nearlyEqual(scene.getSphereNodes()[2].getLocalTransform().mapVector(QVector3D(1, 0, 0)),
                        QVector3D(2, 0, 0)));
        QCOMPARE(scene.getSphereNodes()[1].getMaterial(), &scene.yellowMaterial);
    }

    // The cylinder mesh runs from z = -0.5 to z = 0.5 with radius 1.25: placed, its ends are
    // the two joints and its radius is unchanged whatever the bone's direction.
    void bonesJoinEachJointToItsParent()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        scene.place(positions, parents, -1, {}, std::nullopt);
        const std::vector<SceneNode>& cylinders = scene.getCylinderNodes();
        QCOMPARE(visibleCount(cylinders), 3);
        size_t bone = 0;
        for (size_t i = 1; i < positions.size(); ++i, ++bone) {
            const SceneNode& node = cylinders[bone];
            QCOMPARE(node.getName(), QStringLiteral("bone"));
            QCOMPARE(node.getMaterial(), &scene.whiteMaterial);
            const QMatrix4x4& m = node.getLocalTransform();
            const QVector3D parent = toQVector(positions[size_t(parents[i])]);
            const QVector3D joint = toQVector(positions[i]);
            QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, -0.5f)), parent));
            QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, 0.5f)), joint));
            const QVector3D radial = m.map(QVector3D(1.25f, 0, 0)) - m.map(QVector3D());
            QVERIFY(qAbs(radial.length() - 1.25f) < 1e-4f);
            QVERIFY(qAbs(QVector3D::dotProduct(radial, joint - parent)) < 1e-2f);
        }
    }

    void bonesAlongTheCylinderAxis_data()
    {
        QTest::addColumn<QVector3D>("direction");
        QTest::newRow("along +z") << QVector3D(0, 0, 25);
        QTest::newRow("along -z") << QVector3D(0, 0, -25);
    }

    // A bone parallel to the mesh axis gives no axis to turn about; it must still be a proper
    // rotation (no mirror, no NaN) that puts the ends on the joints.
    void bonesAlongTheCylinderAxis()
    {
        QFETCH(QVector3D, direction);
        SkeletonScene scene(2.0f, 2.5f, 78);
        const std::vector<Vector3f> joints{
            Vector3f(5, 5, 5), Vector3f(5 + direction.x(), 5 + direction.y(), 5 + direction.z())};
        const std::vector<int> chain{-1, 0};
        scene.place(joints, chain, -1, {}, std::nullopt);
        const QMatrix4x4& m = scene.getCylinderNodes()[0].getLocalTransform();
        QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, -0.5f)), QVector3D(5, 5, 5)));
        QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, 0.5f)), QVector3D(5, 5, 5) + direction));
        QVERIFY(m.determinant() > 0);
    }

    // regression: a joint on its parent's position made the bone's turn angle NaN.
    void zeroLengthBoneIsNotDrawn()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        const std::vector<Vector3f> joints{Vector3f(1, 2, 3), Vector3f(1, 2, 3),
                                           Vector3f(1, 12, 3)};
        const std::vector<int> chain{-1, 0, 1};
        scene.place(joints, chain, -1, {}, std::nullopt);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 1);
        const QMatrix4x4& m = scene.getCylinderNodes()[0].getLocalTransform();
        QVERIFY(nearlyEqual(m.map(QVector3D(0, 0, 0.5f)), QVector3D(1, 12, 3)));
        QCOMPARE(visibleCount(scene.getSphereNodes()), 3);
    }

    void markersFollowTheJoints_data()
    {
        QTest::addColumn<int>("segments");
        QTest::addColumn<bool>("body");
        QTest::newRow("segments and body") << 3 << true;
        QTest::newRow("body only") << 0 << true;
        QTest::newRow("no marker") << 0 << false;
    }

    // Red segment markers take the spheres right after the joints, the magenta body marker the
    // one after those; the rest stays hidden.
    void markersFollowTheJoints()
    {
        QFETCH(int, segments);
        QFETCH(bool, body);
        SkeletonScene scene(2.0f, 2.5f, 78);
        std::vector<Vector3f> centres;
        for (int k = 0; k < segments; ++k)
            centres.emplace_back(float(k), 50, -float(k));
        const Vector3f bodyCentre(7, 77, 0);
        scene.place(positions, parents, -1, centres,
                    body ? std::optional<Vector3f>(bodyCentre) : std::nullopt);
        const std::vector<SceneNode>& spheres = scene.getSphereNodes();
        const size_t first = positions.size();
        for (size_t k = 0; k < size_t(segments); ++k) {
            const SceneNode& node = spheres[first + k];
            QVERIFY(node.isVisible());
            QCOMPARE(node.getMaterial(), &scene.redMaterial);
            QVERIFY(nearlyEqual(node.getLocalTransform().map(QVector3D()), toQVector(centres[k])));
            QVERIFY(nearlyEqual(node.getLocalTransform().mapVector(QVector3D(0, 1, 0)),
                                QVector3D(0, 2, 0)));
        }
        if (body) {
            const SceneNode& node = spheres[first + size_t(segments)];
            QCOMPARE(node.getMaterial(), &scene.magentaMaterial);
            QVERIFY(nearlyEqual(node.getLocalTransform().map(QVector3D()), toQVector(bodyCentre)));
            QVERIFY(nearlyEqual(node.getLocalTransform().mapVector(QVector3D(0, 1, 0)),
                                QVector3D(0, 4, 0)));
        }
        QCOMPARE(visibleCount(spheres), int(first) + segments + (body ? 1 : 0));
    }

    // regression: a pool of fixed size put every joint past its end on its last node, and
    // segment markers vanished for skeletons of 77 joints or more.
    void poolGrowsForLargeSkeletons()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
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
        QVERIFY(nearlyEqual(spheres[199].getLocalTransform().map(QVector3D()),
                            QVector3D(199, 199 % 7, 0)));
        QCOMPARE(spheres[150].getMaterial(), &scene.yellowMaterial);
        QCOMPARE(spheres[213].getMaterial(), &scene.redMaterial);
        QCOMPARE(spheres[214].getMaterial(), &scene.magentaMaterial);
        QVERIFY(nearlyEqual(
            scene.getCylinderNodes()[198].getLocalTransform().map(QVector3D(0, 0, 0.5f)),
            QVector3D(199, 199 % 7, 0)));

        // A smaller skeleton afterwards hides what it does not use.
        scene.place(positions, parents, -1, {}, std::nullopt);
        QCOMPARE(visibleCount(scene.getSphereNodes()), 4);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 3);
    }

    // regression: idle pool nodes were parked at (50, 50, 50), where they still showed.
    void unusedNodesAreHidden()
    {
        SkeletonScene scene(2.0f, 2.5f, 78);
        QCOMPARE(visibleCount(scene.getSphereNodes()), 0);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 0);
        QVERIFY(scene.getSphereNodes().size() >= 78);
        scene.place(positions, parents, -1, {}, Vector3f(0, 0, 0));
        scene.hideSkeleton();
        QCOMPARE(visibleCount(scene.getSphereNodes()), 0);
        QCOMPARE(visibleCount(scene.getCylinderNodes()), 0);
        QVERIFY(scene.getGridNode().isVisible());
    }

    void gridSpacing_data()
    {
        QTest::addColumn<float>("reach");
        QTest::addColumn<float>("spacing");
        QTest::newRow("human in centimetres") << 95.0f << 20.0f;
        QTest::newRow("human in inches") << 36.0f << 5.0f;
        QTest::newRow("human in metres") << 0.95f << 0.2f;
        QTest::newRow("exactly a round quarter") << 40.0f << 10.0f;
        QTest::newRow("just under five") << 19.9f << 2.0f;
        QTest::newRow("no bones") << 0.0f << 10.0f;
    }

    void gridSpacing()
    {
        QFETCH(float, reach);
        QFETCH(float, spacing);
        QCOMPARE(SkeletonScene::gridSpacingFor(reach), spacing);
        SkeletonScene scene(2.0f, 2.5f, 1);
        scene.setGridSpacing(spacing);
        const QMatrix4x4& m = scene.getGridNode().getLocalTransform();
        QVERIFY(nearlyEqual(m.map(QVector3D(1, 0, 1)), QVector3D(spacing, 0, spacing)));
    }
};

QTEST_APPLESS_MAIN(TestSkeletonScene)
#include "tst_skeletonscene.moc"
