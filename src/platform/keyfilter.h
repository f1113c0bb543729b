#pragma once

#include <QObject>
#include <functional>

class QLineEdit;
class QWidget;

// Filters the characters typed into a text field, as they are typed. The rule sees the field's
// current text and the character ('\b' for Backspace, control characters such as Ctrl+V's
// '\x16' too); keys that type nothing (arrows, Home, Delete, Enter, Escape) and Tab and Shift+Tab
// always pass. The release handler runs for keys pressed in this field only.
class KeyFilter : public QObject {
    Q_OBJECT
public:
    using Rule = std::function<bool(const QString& text, QChar key)>;
    using Released = std::function<void()>;

    // Installs the filter on the field; the filter lives as long as the field.
    static KeyFilter* install(QLineEdit* field, Rule rule, Released afterRelease = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyFilter(QLineEdit* field, Rule rule, Released afterRelease);
    QLineEdit* m_field;
    Rule m_rule;
    Released m_afterRelease;
    bool m_pressSeen = false;
};

// Gives every text field below the widget an empty context menu (no cut, copy or paste menu).
void DisableContextMenus(QWidget* root);
