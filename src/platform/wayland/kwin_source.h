#pragma once
// Pixels from KWin's own screenshot interface (org.kde.KWin.ScreenShot2). KWin answers only a
// program whose installed desktop entry has Exec= its path and
// X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2; without it every grab fails with a
// message that names that fix. Needs a QCoreApplication in the process (Qt D-Bus).
#include <memory>

#include "base/screen_source.h"

namespace kvr {

std::unique_ptr<ScreenSource> makeKWinSource();

}  // namespace kvr
