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

    // Empty when the run succeeded or failed only because databases, tables or indexes exist
    // already (server errors 1007, 1050 and 1061, expected on every start after the first and
    // when a half-created company is completed); otherwise the client's other error lines,
    // whatever its exit code. Meaningful only for a run that started.
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

// How long one client run may take before it is stopped: creating a company's tables and
// indexes takes seconds, so only a hung client or server comes near it.
constexpr int kTimeLimitSeconds = 120;

// Runs one command line and waits for its end, at most timeLimitSeconds; a client still running
// then is killed and the run fails with a text that says so. Window events are not processed
// meanwhile.
Result run(const QString& commandLine, int timeLimitSeconds = kTimeLimitSeconds);

} // namespace ClientRunner
