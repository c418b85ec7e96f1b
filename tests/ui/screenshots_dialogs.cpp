#include "screenshots.h"

// Placeholder until the dialogs land.
void saveDialogScreenshots(TForm1&, const QString&) {}
