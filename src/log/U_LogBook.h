#pragma once

#include <QDate>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>

class TConnection;
class TStringSetting;
class TIntSetting;

// The terminal's daily text log: "Log" + yyyymmdd + ".txt" in the log folder, one file per
// calendar day, appended to across runs, every line flushed at once.
class TLogBook {
public:
    // Owner notification: code 1 after every line written, code 4 with the text of a failure.
    using Notify = std::function<void(int code, const QString& text)>;

    explicit TLogBook(Notify owner = {});
    ~TLogBook();
    TLogBook(const TLogBook&) = delete;
    TLogBook& operator=(const TLogBook&) = delete;

    // Writes timestamp + (4 x level + 1) blanks + text, as one line: line breaks in the text (an
    // address typed on several lines) are written as " | ", so no entry looks like two.
    void write(const QString& text, int level);
    // Write with the plain level, 0.
    void add(const QString& text);
    // Opens today's file as the day's first write would, so the day's file exists from start-up.
    void openToday();

    // Recent lines with a level up to ShowLevel, at most MaxLines of them, oldest first.
    QStringList lines() const;
    QString fileName() const { return m_fileName; }
    // The folder the files go to, with a trailing separator, as a full path.
    QString folder() const;

    TStringSetting& logPath() { return *m_logPath; }
    TIntSetting& daysToKeep() { return *m_daysToKeep; }
    TIntSetting& maxLines() { return *m_maxLines; }
    TIntSetting& showLevel() { return *m_showLevel; }

private:
    void openFile(const QDate& day);

    Notify m_owner;
    int m_plainLevel = 0;
    QStringList m_lines;
    QString m_fileName;
    QFile m_file;
    QTextStream m_stream;
    QDate m_fileDate;
    std::unique_ptr<TStringSetting> m_logPath;
    std::unique_ptr<TIntSetting> m_daysToKeep;
    std::unique_ptr<TIntSetting> m_maxLines;
    std::unique_ptr<TIntSetting> m_showLevel;
};

// The program's one log book, created with the login screen and kept for the whole run.
TLogBook* logBook();
void setLogBook(TLogBook* book);

// Write through the program's log book; nothing happens while there is none.
void LogWrite(const QString& text, int level);
void LogAdd(const QString& text);
// LogWrite once the transaction open on the connection is committed (at once when none is open):
// a transaction rolled back writes nothing, one run again for a deadlock writes its lines once.
void LogWriteAfterCommit(TConnection& connection, const QString& text, int level);
