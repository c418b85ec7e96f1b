#include "main.h"

TForm1::TForm1(QWidget* parent) : QWidget(parent) {}
TForm1::~TForm1() = default;
void TForm1::hideTimerCaret() {}
