#pragma once

#include "model/exportoptions.h"
#include "model/progresssink.h"
#include "model/writeresult.h"

class BvhFile;

// The two joint tables: one row per frame of the options' range, the time, then one x, y, z
// column triple per selected joint, in pre-order. Both read the frame rows and leave the
// motion and its joints as they were. A cancelled export keeps the rows written so far; nothing
// is written when no motion is loaded or the file cannot be written.
namespace JointTables {

// The rotation values of each joint, in degrees.
WriteResult writeRotations(const BvhFile& motion, const QString& fileName,
                           const ExportOptions& options, ProgressSink* progress = nullptr);
// The absolute position of each joint.
WriteResult writePositions(const BvhFile& motion, const QString& fileName,
                           const ExportOptions& options, ProgressSink* progress = nullptr);

} // namespace JointTables
