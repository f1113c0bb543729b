#include "platform/datepicker.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

class TabOut : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        auto* picker = qobject_cast<QWidget*>(watched);
        if (picker && !qobject_cast<QDateEdit*>(picker))
            picker = picker->parentWidget();
        if (!picker || !picker->parentWidget() || (key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab))
            return false;
        // the picker's parent moves the focus on from the focus widget, the picker
        QKeyEvent moveOn(QEvent::KeyPress, key->key(), key->modifiers(), key->text());
        QCoreApplication::sendEvent(picker->parentWidget(), &moveOn);
        return true;
    }
};

} // namespace

void TabLeavesPicker(QDateEdit* picker)
{
    if (picker->property("tabLeaves").toBool())
        return;
    picker->setProperty("tabLeaves", true);
    auto* filter = new TabOut(picker);
    picker->installEventFilter(filter);
    // the keys may reach the picker's own line edit first
    if (QLineEdit* edit = picker->findChild<QLineEdit*>())
        edit->installEventFilter(filter);
}

void OnDatePicked(QDateEdit* picker, QObject* context, std::function<void()> handler, DatePicked by)
{
    TabLeavesPicker(picker);
    QCalendarWidget* calendar = picker->calendarWidget();
    for (auto signal : { &QCalendarWidget::clicked, &QCalendarWidget::activated })
        QObject::connect(
            calendar, signal, context, [handler] { handler(); }, Qt::QueuedConnection);
    if (by == DatePicked::FromCalendarOrTyping)
        QObject::connect(picker, &QDateEdit::editingFinished, context, handler);
}
