#pragma once

#include <functional>

class QDateEdit;
class QObject;

// How a date picker's day counts as chosen.
enum class DatePicked {
    FromCalendar, // a click or Return in its drop-down calendar
    FromCalendarOrTyping, // that, or a typed date the field has finished with
};

// Runs `handler` (in `context`) once the picker holds the chosen day. The calendar signals before
// the picker takes the day, so the handler runs queued after a calendar choice.
void OnDatePicked(QDateEdit* picker, QObject* context, std::function<void()> handler,
    DatePicked by = DatePicked::FromCalendarOrTyping);

// Tab and Shift+Tab leave the picker for the next or previous control, as they leave a text
// field; the arrow keys still move between its day, month and year. OnDatePicked does this too.
void TabLeavesPicker(QDateEdit* picker);
