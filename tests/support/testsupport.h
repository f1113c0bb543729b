#pragma once

#include "db/datamodulepos.h"
#include "platform/services.h"

#include <QApplication>
#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QSqlDatabase>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

// Seams for tests: a clock that stands still or moves on, two terminals' identities, scripted
// dialogs, and private folders. Install them with TestEnvironment.

class TestClock : public Clock {
public:
    explicit TestClock(const QDateTime& start = QDateTime(QDate(2026, 12, 9), QTime(10, 0)))
        : m_now(start)
    {
    }
    QDateTime now() const override
    {
        const QDateTime t = m_now;
        m_now = m_now.addMSecs(m_stepMs);
        return t;
    }
    void set(const QDateTime& t) { m_now = t; }
    // Each reading advances the clock by this much (lets waits on the clock end at once).
    void setStep(qint64 ms) { m_stepMs = ms; }

private:
    mutable QDateTime m_now;
    qint64 m_stepMs = 0;
};

class TestMachine : public MachineIdentity {
public:
    QStringList addresses { QStringLiteral("0a1b2c3d4e5f") };
    QString name = QStringLiteral("COUNTER1");
    QStringList adapterAddresses() const override { return addresses; }
    QString computerName() const override { return name; }
};

struct RecordedMessage {
    QString text;
    QString detail;
    int kind = 0;
};

// Answers and records the program's messages and questions. Like a real box, each one hands the
// activation back to the window it covered once it has closed: the window (and through the POS
// menu the counter screen inside it) is activated after the handler that showed the box has done
// the rest of its work, when events are processed next.
class ScriptedDialogs : public Dialogs {
public:
    QList<RecordedMessage> messages;
    QStringList questions;
    QList<Answer> answers; // taken in order; when none is left, questions are answered No/Cancel
    QStringList passwords; // answers to password queries; none left means cancel
    QStringList chosenPaths; // answers to folder and file choosers; none left means cancel
    QStringList chooserTitles;

    void showMsg(const QString& mainText, const QString& detail, int kind) override
    {
        messages.append({ mainText, detail, kind });
        returnActivation();
    }
    Answer askYesNo(const QString& question) override { return next(question, Answer::No); }
    Answer askOkCancel(const QString& question) override { return next(question, Answer::Cancel); }
    bool askPassword(const QString& prompt, QString& password) override
    {
        questions.append(prompt);
        returnActivation();
        if (passwords.isEmpty())
            return false;
        password = passwords.takeFirst();
        return true;
    }
    QString chooseFolder(const QString& title) override { return choose(title); }
    QString chooseFile(const QString& title, const QString&, const QString&) override { return choose(title); }
    QStringList texts() const
    {
        QStringList t;
        for (const auto& m : messages)
            t << m.text;
        return t;
    }
    QString lastText() const { return messages.isEmpty() ? QString() : messages.last().text; }
    void clear()
    {
        messages.clear();
        questions.clear();
    }

private:
    QString choose(const QString& title)
    {
        chooserTitles.append(title);
        returnActivation();
        return chosenPaths.isEmpty() ? QString() : chosenPaths.takeFirst();
    }
    Answer next(const QString& question, Answer otherwise)
    {
        questions.append(question);
        returnActivation();
        return answers.isEmpty() ? otherwise : answers.takeFirst();
    }
    // The window active when the box opened gets its activation back after the box, unless it
    // has been hidden or has lost the activation to another window meanwhile.
    static void returnActivation()
    {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
            return;
        const QPointer<QWidget> window = QApplication::activeWindow();
        if (!window)
            return;
        QMetaObject::invokeMethod(
            window.data(),
            [window] {
                if (!window || !window->isVisible() || !window->isActiveWindow())
                    return;
                QEvent activation(QEvent::ActivationChange);
                QCoreApplication::sendEvent(window, &activation);
            },
            Qt::QueuedConnection);
    }
};

class TestHelp : public HelpViewer {
public:
    QStringList topics;
    void showTopic(const QString& topic) override { topics.append(topic); }
};

class TestPaths : public Paths {
public:
    explicit TestPaths(const QString& root);
    QString settingsFolder() const override { return m_root + QStringLiteral("/config"); }
    QString dataFolder() const override { return m_root + QStringLiteral("/data"); }
    QString programFolder() const override { return m_root + QStringLiteral("/program"); }

private:
    QString m_root;
};

// Installs test seams for the lifetime of the object: a private folder (also the current
// folder, so log files land there), a fixed clock, a test machine and scripted dialogs.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    TestClock* clock = nullptr;
    TestMachine* machine = nullptr;
    ScriptedDialogs* dialogs = nullptr;
    TestHelp* help = nullptr;

private:
    QTemporaryDir m_dir;
    QString m_oldCwd;
};

// The throw-away server the test run started (scripts/dbserver.sh).
namespace TestServer {

// Connection settings of the test server's root account.
ConnectionSettings settings();
// A connection of the test's own under `name` (on this thread), to the test server or to the
// server `s` names; not open when the server cannot be reached.
QSqlDatabase openDatabase(const QString& name, const ConnectionSettings& s = settings());
// Stores the test server's settings in the current (test) registry.
void storeSettings();
// Drops every database but the server's own ones, so a test starts from an empty server.
void dropAllDatabases();
// Runs statements on a connection of its own; throws on failure.
void exec(const QStringList& statements);
// First column of the first row, or a null string when there is none.
QString scalar(const QString& sql);
int count(const QString& sql);
// A result as the program writes its figures: the exact decimals in it without trailing zeros.
QString asWritten(const QString& text);
// Waits (20 s at most) until that many transactions wait for a row lock; false when they never do.
bool waitForLockWaits(int transactions);

} // namespace TestServer
