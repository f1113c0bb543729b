#pragma once

#include <QString>
#include <QStringList>

// Runs the database command-line client the way the generated batch files describe it: one
// command line, no shell, an optional trailing  < "file"  fed to standard input.
namespace ClientRunner {

struct Result {
    bool started = false;
    // -1 when the client did not start or ended abnormally
    int exitCode = -1;
    // what the client wrote to standard error, or why it could not start
    QString errorText;

    // Empty when the run succeeded or failed only because databases or tables exist already
    // (server errors 1007 and 1050, expected on every start after the first); otherwise the
    // client's other error lines. Meaningful only for a run that started.
    QString failureText() const;
};

// Full path of the client on PATH ("mariadb", else "mysql"); empty when there is none.
QString findClient();

// A command line split into program, arguments and the file a trailing redirect names.
struct CommandLine {
    QString program;
    QStringList arguments;
    QString inputFile;
};
CommandLine parse(const QString& commandLine);

// Runs one command line and waits for its end without a time limit. Window events are not
// processed meanwhile.
Result run(const QString& commandLine);

} // namespace ClientRunner
