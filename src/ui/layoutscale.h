#pragma once
// The main window's layout is stated for 96 dpi and a 12-pixel text height. On another display
// the window is scaled as a whole when it is created: places, sizes and text.
class QWidget;

namespace kvr {

// The actual pixel height of the layout's 12-pixel (9-point) font on this display, over 12.
double layoutScale();

// Scales the geometry of every laid-out widget under root by factor, sets the text sizes the
// layout gives in pixels (dynamic property "fontPixelSize") and fits labels marked "autoSize"
// to their text.
void applyLayout(QWidget& root, double factor);

// After the layout (and the language) is in place: a caption wider than its room gets a smaller
// text until it fits. Room is the control's own width, and for a label marked "autoSize" the
// inside of the frame it sits on (or its parent).
void fitCaptions(QWidget& root);

}  // namespace kvr
