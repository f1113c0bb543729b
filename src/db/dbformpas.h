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

enum class ConnectOutcome { Incomplete, Failed, Connected };

// "Connect": does nothing for incomplete settings (an empty field, or server 0.0.0.0); tries the
// settings on a connection of its own; stores all four values only when the server answers.
ConnectOutcome TryAndStoreConnection(const ConnectionSettings& settings, QString* error = nullptr);
