#pragma once

#include <QString>

class TDm;
class TQuery;

// The remark of each day (table comment, one row per day). Days are "yyyy-mm-dd" texts.

// The day's remark, empty when there is none.
QString ShowComment(TDm& dm, const QString& day);

// Adds the text to the day's remark: a new row, or the old remark + "." + text. Returns the
// message to show: "Please Enter the Comment" for an empty text (nothing stored), "Comment
// updated Successfully..." after extending a remark, empty after a new one.
QString AddComment(TDm& dm, const QString& day, const QString& text);

// Deletes the day's remark; "No Comment is made on this Date." when there is none, else empty.
QString DeleteComment(TDm& dm, const QString& day);

// Records a booking made for a day before the item's latest ledger row in that day's remark.
// Returns the status note: "Comment is Added" or "Comment is Updated".
QString NoteForcedUpdate(TDm& dm, const QString& day, const QString& itemName);
// The same on the given query's connection, for a booking's transaction open there.
QString NoteForcedUpdate(TQuery& q, const QString& day, const QString& itemName);
