#pragma once
class QApplication;

namespace livrexa::host {

// "Cyan Night": the dark colours and style sheet every window of the server uses.
void ApplyCyanNight(QApplication& app);

}  // namespace livrexa::host
