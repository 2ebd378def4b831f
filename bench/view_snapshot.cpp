// Renders one frame of a BVH motion as the 3D view shows it and saves the image, for looking
// at the view's output without the main window:
//   view_snapshot motion.bvh out.png [--frame N] [--size 1280x720] [--segments model.xml]
//                [--highlight JointName]
// Mass segments are the detected profile's (or "defaultMassSegments.xml" of the current
// directory when it fits) unless --segments names another file.
#include "document/motiondocument.h"
#include "model/bvhfile.h"
#include "model/bvhreader.h"
#include "physics/masssegmentfile.h"
#include "view/bvhview.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("motion"), QStringLiteral("BVH file to show"));
    parser.addPositionalArgument(QStringLiteral("image"), QStringLiteral("PNG file to write"));
    const QCommandLineOption frameOption(QStringLiteral("frame"), QStringLiteral("Frame index"),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Image size"),
                                        QStringLiteral("WxH"), QStringLiteral("1280x720"));
    const QCommandLineOption segmentsOption(QStringLiteral("segments"),
                                            QStringLiteral("Mass segment XML file"),
                                            QStringLiteral("file"));
    const QCommandLineOption highlightOption(
        QStringLiteral("highlight"), QStringLiteral("Joint to highlight"), QStringLiteral("name"));
    parser.addOptions({frameOption, sizeOption, segmentsOption, highlightOption});
    parser.process(application);
    QTextStream err(stderr);
    if (parser.positionalArguments().size() != 2) {
        err << "view_snapshot needs a BVH file and an image file name.\n";
        return 2;
    }
    const QString motionName = parser.positionalArguments().at(0);
    const QString imageName = parser.positionalArguments().at(1);

    MotionDocument document(SkeletonProfiles::load());
    const BvhReadResult read = document.open(motionName);
    if (!read.ok()) {
        err << "Cannot read file " << motionName << ": " << read.errorString << "\n";
        return 1;
    }
    document.setCurrentFrame(parser.value(frameOption).toInt());
    if (parser.isSet(segmentsOption)) {
        const MassSegmentReadResult model = MassSegmentFile::read(parser.value(segmentsOption));
        if (!model.ok) {
            err << "Cannot read mass segments: " << model.errorString << "\n";
            return 1;
        }
        document.setModel(model.segments, parser.value(segmentsOption));
    }

    const QStringList size = parser.value(sizeOption).split(QLatin1Char('x'));
    BvhView view;
    view.resize(size.value(0).toInt(), size.value(1).toInt());
    view.setDocument(&document);
    if (parser.isSet(highlightOption))
        document.setSelectedJoint(document.indexOf(
            document.getMotion().root->getJointByName(parser.value(highlightOption))));
    view.centerCameraOnRoot();
    const QImage image = view.grabFramebuffer();
    if (!image.save(imageName)) {
        err << "Cannot write image " << imageName << "\n";
        return 1;
    }
    return 0;
}
