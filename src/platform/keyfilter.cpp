#include "platform/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool isPasteKey(const QKeyEvent* key)
{
    return key->matches(QKeySequence::Paste) || (key->key() == Qt::Key_Insert && key->modifiers() == Qt::ShiftModifier);
}

} // namespace

KeyFilter::KeyFilter(QLineEdit* field, Rule rule, Released afterRelease)
    : QObject(field)
    , m_field(field)
    , m_rule(std::move(rule))
    , m_afterRelease(std::move(afterRelease))
{
}

KeyFilter* KeyFilter::install(QLineEdit* field, Rule rule, Released afterRelease)
{
    auto* filter = new KeyFilter(field, std::move(rule), std::move(afterRelease));
    field->installEventFilter(filter);
    return filter;
}

KeyFilter::TextRule KeyFilter::typed(Rule rule)
{
    return [rule = std::move(rule)](const QString& text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (!c.isPrint() || !rule(text.left(i), c))
                return false;
        }
        return true;
    };
}

void KeyFilter::holdOnly(QLineEdit* field, TextRule holds)
{
    field->setValidator(new TextRuleValidator(std::move(holds), field));
}

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field || m_handingOn)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        // Tab and Shift+Tab move on, Enter and Escape answer the screen, Delete takes away: none
        // of them types into the field, so no rule judges them
        switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            m_pressSeen = false;
            return false;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Delete:
            m_pressSeen = true;
            return false;
        default:
            break;
        }
        m_pressSeen = true;
        // A paste is judged as the text it leaves; without that judgement the field takes none.
        if (isPasteKey(key))
            return !m_field->validator();
        QChar c;
        if (key->key() == Qt::Key_Backspace)
            c = QLatin1Char('\b');
        else if (!key->text().isEmpty())
            c = key->text().at(0);
        else
            return false;
        return m_rule && !m_rule(m_field->text(), c); // true: the key is dropped
    }
    case QEvent::KeyRelease:
        // The release of a key pressed in another field (the Tab that brought the focus here)
        // changed nothing in this one.
        if (m_afterRelease && m_pressSeen && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            m_afterRelease();
        return false;
    case QEvent::FocusOut:
        m_pressSeen = false;
        return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // the middle button pastes the selection
        if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton)
            return false;
        if (!m_field->validator())
            return true;
        return event->type() == QEvent::MouseButtonRelease && handOn(event);
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (!m_field->validator()) {
            event->ignore();
            return true;
        }
        return event->type() == QEvent::Drop && handOn(event);
    case QEvent::InputMethod:
        return handOn(event);
    default:
        return false;
    }
}

bool KeyFilter::handOn(QEvent* event)
{
    if (!m_afterRelease)
        return false;
    // The field takes the text first; what follows a key follows once the change is complete.
    const QString before = m_field->text();
    m_handingOn = true;
    m_field->event(event);
    m_handingOn = false;
    if (m_field->text() != before)
        m_afterRelease();
    return true;
}

TextRuleValidator::TextRuleValidator(KeyFilter::TextRule holds, QObject* parent)
    : QValidator(parent)
    , m_holds(std::move(holds))
{
}

QValidator::State TextRuleValidator::validate(QString& input, int&) const
{
    return m_holds(input) ? Acceptable : Invalid;
}

void DisableContextMenus(QWidget* root)
{
    for (QLineEdit* e : root->findChildren<QLineEdit*>())
        e->setContextMenuPolicy(Qt::PreventContextMenu);
    for (QTextEdit* e : root->findChildren<QTextEdit*>())
        e->setContextMenuPolicy(Qt::PreventContextMenu);
    for (QPlainTextEdit* e : root->findChildren<QPlainTextEdit*>())
        e->setContextMenuPolicy(Qt::PreventContextMenu);
}
