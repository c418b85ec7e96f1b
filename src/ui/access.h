#pragma once
// What screen readers and the keyboard get of our windows beyond the toolkit's defaults: roles
// for controls that look like one thing and are another (tool buttons that are radio choices,
// frames that group them, a read-only box with arrows that is a spin box), a visible focus ring,
// and Enter pressing the focused button.
//
// A control asks for its role with the dynamic property "kvrRole": "radio", "group" or "spin".
// A spin box names its arrows (a kvr::UpDown) in the property "kvrStepper".
#include <QString>

class QWidget;

namespace kvr {

// Once per program, before the first window shows.
void installAccessibleRoles();

// Enter and Return press the focused button of window (Space already does); the focus ring
// follows the focus inside window.
void enableKeyboard(QWidget& window);

// What a screen reader says for the timer's value ("5 seconds" in the user's language).
QString secondsText(int seconds);

}  // namespace kvr
