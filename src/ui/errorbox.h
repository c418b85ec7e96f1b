#pragma once
// The two message boxes of the program: the "エラー" box for expected conditions and the stop box
// of the top-level handler. Both are standard message boxes (screen readers read them), with no
// parent, so a box shown while the main window is minimised is still on screen.
#include <QString>

namespace kvr {

// "エラー", stop icon, centred on the primary screen, text wrapped at half the screen width, one
// "OK" answering Enter and Esc. Modal; returns when closed.
void showErrorBox(const QString& message);

// The top-level handler's box: caption as given, the message with its full stop.
void showStopBox(const QString& caption, const QString& message);

// The message as the top-level handler shows it: a "." is added unless the message is empty or
// its last character's first byte (UTF-8) is 0x2E or lower.
QString withFullStop(const QString& message);

}  // namespace kvr
