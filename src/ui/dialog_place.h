#pragma once
// Where the options dialog and the About box open.
class QWidget;

// Centres the dialog over its owner, never left of or above the screen's origin.
void centreOver(QWidget& dialog, const QWidget& owner);
