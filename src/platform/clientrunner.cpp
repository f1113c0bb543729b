#include "platform/clientrunner.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace ClientRunner {

namespace {

    // Server errors for a database (1007), a table (1050) or an index (1061, "Duplicate key
    // name") that exists already.
    bool isExpectedError(int code)
    {
        return code == 1007 || code == 1050 || code == 1061;
    }

    // Position of the last '<' outside double quotes, or -1.
    qsizetype lastUnquotedRedirect(const QString& line)
    {
        bool quoted = false;
        qsizetype found = -1;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const QChar c = line.at(i);
            if (c == QLatin1Char('"'))
                quoted = !quoted;
            else if (c == QLatin1Char('<') && !quoted)
                found = i;
        }
        return found;
    }

} // namespace

QString Result::failureText() const
{
    // With --force the client runs a whole script and ends with 0 even after errors, so its
    // error lines decide, whatever the exit code.
    static const QRegularExpression errorLine(QStringLiteral(R"(^ERROR (\d+))"));
    QStringList unexpected;
    bool expectedSeen = false;
    const QStringList lines = errorText.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        const auto m = errorLine.match(line);
        if (!m.hasMatch())
            continue;
        if (isExpectedError(m.captured(1).toInt()))
            expectedSeen = true;
        else
            unexpected << line;
    }
    if (!unexpected.isEmpty())
        return unexpected.join(QLatin1Char('\n'));
    if (exitCode == 0 || (expectedSeen && exitCode > 0))
        return QString();
    // Failed without a server error line (bad option, crash): report what it said.
    const QString text = errorText.trimmed();
    return text.isEmpty() ? QStringLiteral("The database client ended with exit code %1").arg(exitCode) : text;
}

QString findClient()
{
    for (const QString& name : { QStringLiteral("mariadb"), QStringLiteral("mysql") }) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

CommandLine parse(const QString& commandLine)
{
    CommandLine result;
    QString command = commandLine;
    const qsizetype redirect = lastUnquotedRedirect(commandLine);
    if (redirect >= 0) {
        const QStringList target = QProcess::splitCommand(commandLine.mid(redirect + 1));
        if (target.size() == 1) {
            result.inputFile = target.first();
            command = commandLine.left(redirect);
        }
    }
    QStringList parts = QProcess::splitCommand(command);
    if (!parts.isEmpty())
        result.program = parts.takeFirst();
    result.arguments = parts;
    return result;
}

Result run(const QString& commandLine, int timeLimitSeconds)
{
    Result result;
    const CommandLine cl = parse(commandLine);
    if (cl.program.isEmpty()) {
        result.errorText = QStringLiteral("No program to run");
        return result;
    }
    QProcess process;
    process.setProgram(cl.program);
    process.setArguments(cl.arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    if (cl.inputFile.isEmpty()) {
        process.setStandardInputFile(QProcess::nullDevice());
    } else {
        if (!QFileInfo(cl.inputFile).isFile()) {
            result.errorText = QStringLiteral("Cannot open \"%1\"").arg(cl.inputFile);
            return result;
        }
        process.setStandardInputFile(cl.inputFile);
    }
    process.start();
    if (!process.waitForStarted(-1)) {
        result.errorText = process.errorString();
        return result;
    }
    result.started = true;
    if (!process.waitForFinished(timeLimitSeconds * 1000) && process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(-1);
        result.errorText = QStringLiteral("The database client (%1) did not finish within %2 seconds and was stopped")
                               .arg(QFileInfo(cl.program).fileName())
                               .arg(timeLimitSeconds);
        return result;
    }
    result.errorText = QString::fromLocal8Bit(process.readAllStandardError());
    if (process.exitStatus() == QProcess::NormalExit) {
        result.exitCode = process.exitCode();
    } else if (result.errorText.trimmed().isEmpty()) {
        result.errorText = process.errorString();
    }
    return result;
}

} // namespace ClientRunner
