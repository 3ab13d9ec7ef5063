#pragma once
// The font of the window's log: a fixed-pitch family, so the columns of the log entries line up.

#include <QFont>

namespace livrexa::host {

// The first family that the font matcher really resolves to a fixed-pitch face: a few usual
// monospace families first, then every family the font database lists as fixed. The system's
// fixed font is only the last resort, because on some font sets it resolves to a proportional face.
QFont LogFont();

}  // namespace livrexa::host
