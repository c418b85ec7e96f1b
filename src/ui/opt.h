#pragma once
// The options dialog (TForm2): output folder, JPEG quality step, file-name prefix.
class TForm1;

// "Opt": creates the dialog owned by the main window, loads it, shows it modally, frees it.
void showOptionsDialog(TForm1& owner);
