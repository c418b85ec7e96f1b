#pragma once
// `make screenshots`: each window's picture as the user sees it, into one folder.
#include <QString>
class QWidget;
class TForm1;

// The window as it is on the screen, frame included (from the X server, not rendered
// off-screen), saved as a picture file. False when it could not be saved.
bool saveShown(QWidget& window, const QString& path);

// The options dialog's three pages and the About box, over the given main window.
void saveDialogScreenshots(TForm1& mainWindow, const QString& folder);
