#include "app/separators.h"

#include "config/formatsettings.h"

// The settings are the program's own and never follow the system locale, so a locale change
// notification cannot overwrite them while they are being set.
void SetFormatSeparators(QChar date, QChar time, QChar decimal, QChar thousand)
{
    FormatSettings& settings = formatSettings();
    settings.dateSeparator = date;
    settings.timeSeparator = time;
    settings.decimalSeparator = decimal;
    settings.thousandSeparator = thousand;
}
