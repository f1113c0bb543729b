#include "platform/services.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QStandardPaths>
#include <QSysInfo>
#include <algorithm>

namespace {

// Until the user interface installs its dialogs, messages go to standard error and questions
// are answered with the cautious choice.
class ConsoleDialogs : public Dialogs {
public:
    void showMsg(const QString& mainText, const QString& detail, int kind) override
    {
        qWarning("Message (%d): %s %s", kind, qPrintable(mainText), qPrintable(detail));
    }
    Answer askYesNo(const QString&) override { return Answer::No; }
    Answer askOkCancel(const QString&) override { return Answer::Cancel; }
    bool askPassword(const QString&, QString&) override { return false; }
};

class NoHelp : public HelpViewer {
public:
    void showTopic(const QString&) override { }
};

} // namespace

Services::Services()
    : m_clock(std::make_unique<SystemClock>())
    , m_machine(std::make_unique<SystemMachineIdentity>())
    , m_dialogs(std::make_unique<ConsoleDialogs>())
    , m_help(std::make_unique<NoHelp>())
    , m_paths(std::make_unique<SystemPaths>())
{
}

Services::~Services() = default;

Services& services()
{
    static Services instance;
    return instance;
}

QStringList SystemMachineIdentity::adapterAddresses() const
{
    // Adapters backed by a device come before virtual ones (bridges, tunnels, ifb), each group in
    // the order of the system's interface index, so that "first" is the same at every start.
    auto interfaces = QNetworkInterface::allInterfaces();
    const auto isDevice = [](const QNetworkInterface& nic) {
        return QFileInfo::exists(QStringLiteral("/sys/class/net/%1/device").arg(nic.name()));
    };
    std::stable_sort(interfaces.begin(), interfaces.end(), [&](const QNetworkInterface& a, const QNetworkInterface& b) {
        const bool da = isDevice(a), db = isDevice(b);
        return da != db ? da : a.index() < b.index();
    });
    QStringList result;
    for (const auto& nic : interfaces) {
        if (nic.type() != QNetworkInterface::Ethernet || nic.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        QString address = nic.hardwareAddress().remove(QLatin1Char(':')).toLower();
        if (address.isEmpty() || address == QLatin1String("000000000000") || result.contains(address))
            continue;
        result.append(address);
    }
    return result;
}

QString SystemMachineIdentity::computerName() const
{
    return QSysInfo::machineHostName().left(256);
}

QString SystemPaths::settingsFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString SystemPaths::dataFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/pos");
}

QString SystemPaths::programFolder() const
{
    return QCoreApplication::applicationDirPath();
}

QString Paths::sharedFolder() const
{
    return QDir::cleanPath(programFolder() + QStringLiteral("/../share/pos"));
}

QString ShippedFile(const QString& fileName)
{
    const Paths& paths = services().paths();
    const QString beside = QDir(paths.programFolder()).filePath(fileName);
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared = QDir(paths.sharedFolder()).filePath(fileName);
    return QFileInfo::exists(shared) ? shared : beside;
}

bool ProgramFolderTakesFiles()
{
    const Paths& paths = services().paths();
    const QFileInfo program(paths.programFolder());
    return program.isDir() && program.isWritable() && !QFileInfo(paths.sharedFolder()).isDir();
}

void ShowMsg(const QString& mainText, const QString& detail, int kind)
{
    services().dialogs().showMsg(mainText, detail, kind);
}
