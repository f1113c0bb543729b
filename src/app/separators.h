#pragma once

#include <QChar>

// Sets the process-wide date, time, decimal and thousands separators, in this order. Screens
// call it with '/', ':', '.' and ',' before they format or read dates and amounts.
void SetFormatSeparators(QChar date, QChar time, QChar decimal, QChar thousand);
