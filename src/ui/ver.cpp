#include "ver.h"

// Placeholder until the About box lands.
void showAboutBox(TForm1&) {}
