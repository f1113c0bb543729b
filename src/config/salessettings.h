#pragma once

#include <QString>

class TQuery;

// A company limit or option from its sales_settings rows: value_ of the row with this name
// (the server compares names without regard to case), empty text when there is none.
QString salesSetting(TQuery& query, const QString& name);
