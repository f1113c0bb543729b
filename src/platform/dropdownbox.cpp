#include "platform/dropdownbox.h"

void DropDownBox::showPopup()
{
    Q_EMIT dropDown();
    QComboBox::showPopup();
}
