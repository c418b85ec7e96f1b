#pragma once
// Where the program's windows open.
class QWidget;

// Centres the window on the primary monitor, never left of or above it.
void centreOnPrimaryScreen(QWidget& window);

// Centres the dialog over its owner, never left of or above the screen's origin.
void centreOver(QWidget& dialog, const QWidget& owner);
