#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <memory>

// The outside world, behind small interfaces so that a test can be two terminals on two days.
// Production implementations are installed by default; tests replace them through services().

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    QDate today() const { return now().date(); }
};

class MachineIdentity {
public:
    virtual ~MachineIdentity() = default;
    // Hardware addresses of the Ethernet adapters as 12 lower-case hex digits, in a stable order.
    virtual QStringList adapterAddresses() const = 0;
    virtual QString computerName() const = 0;
};

// Message dialog and question boxes. Kind 0 shows the information icon, kind 1 the error icon.
class Dialogs {
public:
    enum class Answer { Yes, No, Ok, Cancel, Closed };
    virtual ~Dialogs() = default;
    virtual void showMsg(const QString& mainText, const QString& detail, int kind) = 0;
    virtual Answer askYesNo(const QString& question) = 0;
    virtual Answer askOkCancel(const QString& question) = 0;
    // Returns false when the user cancels.
    virtual bool askPassword(const QString& prompt, QString& password) = 0;
    // The platform's folder chooser and file-open dialog; an empty text when the user cancels.
    virtual QString chooseFolder(const QString& /*title*/) { return QString(); }
    virtual QString chooseFile(const QString& /*title*/, const QString& /*folder*/, const QString& /*filter*/)
    {
        return QString();
    }
};

class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    // topic as the screens name it, for example "Login.htm"
    virtual void showTopic(const QString& topic) = 0;
};

// Folders the program works in.
class Paths {
public:
    virtual ~Paths() = default;
    // Folder below which "pos/registry.ini" lives (the per-user configuration folder).
    virtual QString settingsFolder() const = 0;
    // The program's data directory; the folder standing for the drive root of generated scripts lies below it.
    virtual QString dataFolder() const = 0;
    // Folder of the program's own file.
    virtual QString programFolder() const = 0;
    // Folder of the files an installation ships beside the program (bill templates, help pages):
    // <prefix>/share/pos for a program in <prefix>/bin.
    virtual QString sharedFolder() const;
};

class Services {
public:
    Services();
    ~Services();

    Clock& clock() const { return *m_clock; }
    MachineIdentity& machine() const { return *m_machine; }
    Dialogs& dialogs() const { return *m_dialogs; }
    HelpViewer& help() const { return *m_help; }
    Paths& paths() const { return *m_paths; }

    void setClock(std::unique_ptr<Clock> c) { m_clock = std::move(c); }
    void setMachine(std::unique_ptr<MachineIdentity> m) { m_machine = std::move(m); }
    void setDialogs(std::unique_ptr<Dialogs> d) { m_dialogs = std::move(d); }
    void setHelp(std::unique_ptr<HelpViewer> h) { m_help = std::move(h); }
    void setPaths(std::unique_ptr<Paths> p) { m_paths = std::move(p); }

private:
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<MachineIdentity> m_machine;
    std::unique_ptr<Dialogs> m_dialogs;
    std::unique_ptr<HelpViewer> m_help;
    std::unique_ptr<Paths> m_paths;
};

Services& services();

// Production implementations, usable on their own (tests of the adapter list, for example).
class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class SystemMachineIdentity : public MachineIdentity {
public:
    QStringList adapterAddresses() const override;
    QString computerName() const override;
};

class SystemPaths : public Paths {
public:
    QString settingsFolder() const override;
    QString dataFolder() const override;
    QString programFolder() const override;
};

// A file shipped with the program (a bill template): the copy in the program's folder when there is
// one (a build, or a shop's own template), else the installed one in the shared folder. When
// neither exists, the path in the program's folder, so that a message names where it was expected.
QString ShippedFile(const QString& fileName);

// True when the files the program makes may go beside it: its folder is writable and it is not an
// installed copy (one with the shared folder of an installation beside it, whose folder is the
// system's even where the user may write to it). Otherwise they go to the user's data folder.
bool ProgramFolderTakesFiles();

// The message dialog every screen uses; goes through services().dialogs().
void ShowMsg(const QString& mainText, const QString& detail = QString(), int kind = 0);
