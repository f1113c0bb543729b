#include "platform/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

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

bool KeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_field)
        return false;
    if (event->type() == QEvent::KeyPress) {
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
        QChar c;
        if (key->key() == Qt::Key_Backspace)
            c = QLatin1Char('\b');
        else if (!key->text().isEmpty())
            c = key->text().at(0);
        else
            return false;
        if (m_rule && !m_rule(m_field->text(), c))
            return true; // the key is dropped
    } else if (event->type() == QEvent::KeyRelease && m_afterRelease) {
        // The release of a key pressed in another field (the Tab that brought the focus here)
        // changed nothing in this one.
        if (m_pressSeen && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            m_afterRelease();
    } else if (event->type() == QEvent::FocusOut) {
        m_pressSeen = false;
    }
    return false;
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
