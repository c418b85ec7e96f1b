#pragma once
// The About box (TAboutBox): version and two links.
class TForm1;

// "Inf": creates the box owned by the main window, shows it modally, frees it.
void showAboutBox(TForm1& owner);
