#pragma once

#include <QLoggingCategory>

// The C3D writer's diagnostics (record positions, parameter dumps). Off by default, since the
// command-line runs share standard error with their own messages; QT_LOGGING_RULES=
// "kinovane.c3d.debug=true" turns them on.
Q_DECLARE_LOGGING_CATEGORY(c3dLog)
