#pragma once
// `make screenshots`: each window's picture as the user sees it, into one folder.
#include <QString>
class TForm1;

// The options dialog's three pages and the About box, over the given main window.
void saveDialogScreenshots(TForm1& mainWindow, const QString& folder);
