#pragma once

#include <QString>

// Passwords are kept as salted, slow hashes (Argon2id, the text starts with "$argon2id$").
// Rows written by earlier versions hold the password itself; they are still read, and
// compared exactly, until their user's next login replaces them.

// The hash of a password, with a fresh salt each time.
QString HashPassword(const QString& password);

// True when a stored value is a hash rather than a password kept as typed.
bool IsPasswordHash(const QString& stored);

// True when the typed password is the one stored: against a hash, or letter for letter
// against a password kept as typed. An empty stored value matches nothing.
bool PasswordMatches(const QString& stored, const QString& typed);

// The cost of new hashes. Tests that make many lower it; the program keeps the default.
void SetPasswordHashCost(unsigned long long opsLimit, size_t memLimit);
