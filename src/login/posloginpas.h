#pragma once

#include "platform/clientrunner.h"

#include <QString>
#include <QStringList>

class TDm;

// Procedures of the login screen: creating the shop's databases at start-up, running the
// database client, the bootstrap login values and the clean-up of the generated files.

// MD5 digest of the text's bytes (one byte per character) as 32 upper-case hex digits.
QString Md5Text(const QString& text);

// First Ethernet adapter address of this machine; throws EOSError when there is none.
QString Macaddress();
// This machine's name, at most 256 characters.
QString ComputerName();

// Folder standing for the drive root of the generated scripts.
QString ScriptFolder();
QString ScriptPath(const QString& fileName);
// Folder of the generated batch files: the program's folder, or the program's data folder
// when the program's folder cannot be written or the program is installed (ProgramFolderTakesFiles).
QString BatchFolder();
QString ProgramPath(const QString& fileName);
// The private option file that gives the client its account; readable by the user only. It
// exists only while a client runs.
QString ClientOptionFile();

// Command prefix of the database client: the client, its option file, --force and the
// server. Empty when no client is installed: every command then does nothing.
QString clientPrefix();

// Runs one command line and waits for its end, processing no window events.
ClientRunner::Result ExecCmdLineAndWait(const QString& commandLine);

// Writes a one-line script or batch file; throws EOSError when it cannot be written.
void WriteCommandFile(const QString& path, const QString& line);
// Runs a client command line (directly, or the line of a batch file). Nothing runs when the
// prefix is empty. The option file is written from the stored connection settings for the run
// and removed as soon as the client has ended. Throws EDatabaseError when the client reports
// an error other than an existing database or table, EOSError when it cannot be started.
void RunClientCommand(const QString& prefix, const QString& commandLine);
void RunBatchFile(const QString& prefix, const QString& path);

// Start-up provisioning: the catalogue databases, general_stores, this terminal's
// registration and the bootstrap login. Returns the text of the first error (class name +
// " error raised, with message : " + message) for the caller to show; empty on success.
// A failed client run does not stop the other steps; any other error skips the steps after it.
QString RunStartupProvisioning(TDm& dm);

// The terminal id registered for this adapter address: the id of the last matching
// pcmac.pcmac row, empty when there is none.
QString TerminalIdLookup(TDm& dm, const QString& address);

// Deletes the generated script, batch and option files, ignoring failures. Without "all" the
// four terminal-table batch files stay.
void deletefiless(bool all = true);
// The files deletefiless removes.
QStringList GeneratedFiles(bool all);
