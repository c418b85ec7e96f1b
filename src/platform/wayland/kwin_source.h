#pragma once
// Pixels from KWin's own screenshot interface (org.kde.KWin.ScreenShot2). KWin answers only a
// program whose installed desktop entry has Exec= its path and
// X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2; without it every grab fails with a
// message that names that fix. Needs a QCoreApplication in the process (Qt D-Bus).
#include <memory>
#include <optional>
#include <string>

#include "base/screen.h"
#include "base/screen_source.h"

namespace kvr {

std::unique_ptr<ScreenSource> makeKWinSource();

// The two calls the source makes to KWin, as it makes them: the picture of one output (KWin's
// numbers checked, its pipe read no further than announced; the source's usual messages when
// they do not hold), and a window's frame from KWin's window list (nothing when KWin does not
// tell, or tells nonsense).
Picture captureKWinOutput(const std::string& outputName);
std::optional<ScreenRect> kwinWindowFrameOf(const std::string& windowId);

}  // namespace kvr
