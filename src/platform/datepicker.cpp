#include "platform/datepicker.h"

#include <QCalendarWidget>
#include <QDateEdit>

void OnDatePicked(QDateEdit* picker, QObject* context, std::function<void()> handler, DatePicked by)
{
    QCalendarWidget* calendar = picker->calendarWidget();
    for (auto signal : { &QCalendarWidget::clicked, &QCalendarWidget::activated })
        QObject::connect(
            calendar, signal, context, [handler] { handler(); }, Qt::QueuedConnection);
    if (by == DatePicked::FromCalendarOrTyping)
        QObject::connect(picker, &QDateEdit::editingFinished, context, handler);
}
