#include "opt.h"

// Placeholder until the options dialog lands.
void showOptionsDialog(TForm1&) {}
