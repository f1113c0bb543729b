#include "config/U_SettingEdit.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

QLabel* makeLabel(QLineEdit* edit, const QString& text)
{
    auto label = new QLabel(text, edit->parentWidget());
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setFont(edit->font());
    label->adjustSize();
    label->show();
    return label;
}

} // namespace

TSettingEdit::TSettingEdit(TStringSetting& setting, QLineEdit* edit, bool withCaption, bool withUnit)
    : m_setting(&setting)
    , m_edit(edit)
{
    // Labels sit on the edit's parent; an edit without one gets none.
    if (!edit->parentWidget())
        withCaption = withUnit = false;
    if (withCaption) {
        m_caption = makeLabel(edit, setting.caption());
        m_caption->move(edit->x() - 3 - m_caption->width(), edit->y() + 3);
    }
    if (withUnit) {
        m_unit = makeLabel(edit, setting.unit());
        m_unit->move(edit->x() + edit->width() + 2, edit->y() + 3);
    }
    m_connection = QObject::connect(edit, &QLineEdit::textChanged, edit, [this](const QString& text) {
        if (m_setting)
            m_setting->editChanged(text);
    });
    if (auto old = setting.view())
        old->detach();
    setting.setView(this);
}

TSettingEdit::~TSettingEdit()
{
    unbind();
}

void TSettingEdit::unbind()
{
    if (m_setting && m_setting->view() == this)
        m_setting->setView(nullptr);
    release();
}

void TSettingEdit::detach()
{
    if (m_setting && m_setting->view() == this)
        m_setting->setView(nullptr);
    release();
}

void TSettingEdit::release()
{
    QObject::disconnect(m_connection);
    delete m_caption;
    delete m_unit;
    m_setting = nullptr;
}

void TSettingEdit::showText(const QString& text)
{
    // Leaves the cursor where it is while the user types, and runs no change handler.
    if (!m_edit || m_edit->text() == text)
        return;
    const QSignalBlocker block(m_edit);
    m_edit->setText(text);
}

void TSettingEdit::refresh()
{
    if (!m_edit || !m_setting)
        return;
    m_edit->setReadOnly(m_setting->isReadOnly());
    QColor colour = QApplication::palette(m_edit).color(QPalette::Text);
    if (!m_setting->isValid())
        colour = Qt::red;
    else if (m_setting->isModified())
        colour = Qt::blue;
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Text, colour);
    m_edit->setPalette(palette);
}
