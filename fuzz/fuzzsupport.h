#pragma once

#include <QString>

// What both fuzz targets share.
namespace FuzzSupport {

// Keeps the core's diagnostics (one or more lines per input) off the fuzzer's output, where
// they would cost more time than the work under test.
void silenceDiagnostics();
// A directory for the files a target writes, made once per process under the temporary
// directory (run.sh points TMPDIR at memory when it can).
QString outputPath(const QString& name);

} // namespace FuzzSupport
