#include "c3drequest.h"

#include "export/c3dexport.h"
#include "export/c3dparameter.h"
#include "gait/motionanalysis.h"
#include "handoff/c3dextras.h"
#include "handoff/opensimfiles.h"

WriteResult C3DRequest::write(const BvhFile& motion, ProgressSink* progress, C3DPipeline* pipeline,
                              QStringList* notes) const
{
    const bool analysed = analysis && analysis->ok();
    const FrameRange frames = options.range.clampedTo(motion.rowCount());
    // The events of the file's frames, timed from its first frame at the rate it declares.
    QList<C3DEvent> c3dEvents;
    if (events && analysed) {
        const int rate = C3DExport::frameRate(analysis->frameTime);
        for (const GaitEvent& event : analysis->events) {
            if (event.frame >= frames.first && event.frame <= frames.last)
                c3dEvents.append({event.footName(), event.kindName(),
                                  double(event.frame - frames.first) / rate});
        }
        if (c3dEvents.size() > C3DParameter::maxDimension && notes)
            notes->append(QStringLiteral("the C3D file holds the first %1 of the %2 gait "
                                         "events; the events table holds them all")
                              .arg(C3DParameter::maxDimension)
                              .arg(c3dEvents.size()));
    }
    C3DExport::ExtraPoints extra;
    if (analysed)
        extra = C3DExtras::of(*analysis, centres, angles, options.millimetresPerUnit, frames);
    const QStringList labels =
        uniqueLabels && motion.root
            ? OpenSimFiles::markerNames(motion,
                                        QList<bool>(motion.root->getAllJoints().size(), true))
            : QStringList();
    return C3DExport::exportMotion(motion, fileName, options, c3dEvents, progress, pipeline, labels,
                                   extra);
}
