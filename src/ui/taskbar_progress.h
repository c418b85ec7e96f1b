#pragma once
// The countdown's progress on the window's taskbar entry, where the desktop shows one: the
// com.canonical.Unity.LauncherEntry signal on the session bus, which Plasma's task manager and
// the common docks read for the entry of the program's desktop file.
namespace kvr {

// Shows the entry's progress bar at that fraction (0 to 1).
void showTaskbarProgress(double fraction);
// Takes the progress bar away again.
void clearTaskbarProgress();

}  // namespace kvr
