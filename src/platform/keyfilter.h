#pragma once

#include <QObject>
#include <QValidator>
#include <functional>

class QLineEdit;
class QWidget;

// Filters the characters typed into a text field, as they are typed. The rule sees the field's
// current text and the character ('\b' for Backspace, control characters such as Ctrl+V's
// '\x16' too); keys that type nothing (arrows, Home, Delete, Enter, Escape) and Tab and Shift+Tab
// always pass. The release handler runs for keys pressed in this field only.
//
// A key rule judges a character typed at the end of the text. Text also arrives otherwise: a
// paste (Ctrl+V, Shift+Insert, the middle button), a drop, a key typed over a selection or
// before the end. For those the field's whole new text is judged (holdOnly): a change that
// leaves a text the field may not hold is not made. A paste key is left to that judgement;
// a field without one takes no pasted or dropped text at all. Text that changes without a
// key runs the after-release action as a key would.
class KeyFilter : public QObject {
    Q_OBJECT
public:
    using Rule = std::function<bool(const QString& text, QChar key)>;
    using Released = std::function<void()>;
    // Whether the field may hold the whole text.
    using TextRule = std::function<bool(const QString& text)>;

    // Installs the filter on the field; the filter lives as long as the field.
    static KeyFilter* install(QLineEdit* field, Rule rule, Released afterRelease = {});

    // The texts typing through the rule can give a field: each character, in turn, taken by the
    // rule as if typed at the end of those before it; no control character. Only for rules that
    // look at nothing but the text and the key (no message, no other field).
    static TextRule typed(Rule rule);

    // The field takes a change the user makes, however it arrives, only when `holds` accepts its
    // whole new text (a validator: the program's own setText is not judged).
    static void holdOnly(QLineEdit* field, TextRule holds);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    KeyFilter(QLineEdit* field, Rule rule, Released afterRelease);
    // Lets the field take an event that changes its text without a key, then runs the
    // after-release action when the text changed. True when the event was handled so.
    bool handOn(QEvent* event);
    QLineEdit* m_field;
    Rule m_rule;
    Released m_afterRelease;
    bool m_pressSeen = false;
    bool m_handingOn = false;
};

// The validator holdOnly puts on a field.
class TextRuleValidator : public QValidator {
    Q_OBJECT
public:
    TextRuleValidator(KeyFilter::TextRule holds, QObject* parent);
    State validate(QString& input, int& pos) const override;

private:
    KeyFilter::TextRule m_holds;
};

// Gives every text field below the widget an empty context menu (no cut, copy or paste menu).
void DisableContextMenus(QWidget* root);
