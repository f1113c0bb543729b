#pragma once

#include "db/datamodulepos.h"

#include <QString>

// Procedures of the connection screen.

// True when no server has been configured: the "User_name" value of "\Software\pos\db" is
// missing or empty. Looks without creating the key.
bool MyFunction();

// Port field rules: digits and Backspace only; a number above 65535 empties the field.
bool PortKeyAllowed(QChar key);
bool PortTooLarge(const QString& text);

// The refusal of a server list with a line that is not host:port (port 1-65535), naming the
// line; empty when every line is good or blank.
QString ServerListError(const QString& list);

enum class ConnectOutcome { Incomplete, BadServerList, Failed, Connected };

// "Connect": does nothing for incomplete settings (an empty field, or server 0.0.0.0); refuses a
// malformed list of further servers (the message in `error`); tries the default server on a
// connection of its own; stores the values only when it answers.
ConnectOutcome TryAndStoreConnection(const ConnectionSettings& settings, QString* error = nullptr);
