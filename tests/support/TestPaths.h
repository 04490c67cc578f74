#pragma once

#include <QString>

// Where the built programs and the source tree are, for tests that start
// qel-meter-sim or read examples.
inline QString qelBinDir() { return QStringLiteral(QEL_BIN_DIR); }
inline QString qelSourceDir() { return QStringLiteral(QEL_SOURCE_DIR); }
