#pragma once

#include "config/U_SettingTypes.h"

#include <QMetaObject>
#include <QPointer>

class QLabel;
class QLineEdit;

// Shows a string or integer setting in a line edit, with its caption to the left and its unit to
// the right. Typing sets the setting; the text turns red while invalid and blue while it differs
// from the accepted value. Handlers the edit already had keep running.
class TSettingEdit : public TSettingView {
public:
    TSettingEdit(TStringSetting& setting, QLineEdit* edit, bool withCaption = true, bool withUnit = true);
    ~TSettingEdit() override;
    TSettingEdit(const TSettingEdit&) = delete;
    TSettingEdit& operator=(const TSettingEdit&) = delete;

    // Lets go of the edit and frees the labels.
    void unbind();

    TStringSetting* setting() const { return m_setting; }
    QLineEdit* edit() const { return m_edit; }
    QLabel* captionLabel() const { return m_caption; }
    QLabel* unitLabel() const { return m_unit; }

    void showText(const QString& text) override;
    void refresh() override;
    void detach() override;

private:
    void release();

    TStringSetting* m_setting = nullptr;
    QPointer<QLineEdit> m_edit;
    QPointer<QLabel> m_caption;
    QPointer<QLabel> m_unit;
    QMetaObject::Connection m_connection;
};
