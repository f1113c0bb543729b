#pragma once

#include <QComboBox>

// A drop-down box that tells its screen when its list is about to drop down, so the screen can
// fill the list first.
class DropDownBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

Q_SIGNALS:
    void dropDown();
};
