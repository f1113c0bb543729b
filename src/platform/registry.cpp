#include "platform/registry.h"

#include "platform/services.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kCreatedMarker = QStringLiteral(".created");

QString groupOf(const QString& keyPath)
{
    QString group = keyPath;
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (group.startsWith(QLatin1Char('/')))
        group.remove(0, 1);
    while (group.endsWith(QLatin1Char('/')))
        group.chop(1);
    return group;
}

QString entryOf(const QString& keyPath, const QString& name)
{
    return groupOf(keyPath) + QLatin1Char('/') + name;
}

// The file may hold the server password: before anything is written its folder is made the
// user's only (when it is new) and the file exists with the user's private mode, so that the
// settings store, which keeps the mode of the file it replaces, never shows it to others.
void preparePrivateFile(const QString& file)
{
    const QFileInfo info(file);
    const QString folder = info.absolutePath();
    if (!QFileInfo::exists(folder)) {
        const QFileInfo parent(folder);
        QDir().mkpath(parent.absolutePath());
        QDir().mkdir(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    const auto privateMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!info.exists()) {
        QFile created(file);
        created.open(QIODevice::WriteOnly | QIODevice::NewOnly, privateMode);
    } else if ((info.permissions() & ~(privateMode | QFileDevice::ReadUser | QFileDevice::WriteUser))
        != QFileDevice::Permissions()) {
        QFile::setPermissions(file, privateMode);
    }
}

} // namespace

TRegistry::TRegistry()
    : TRegistry(defaultFile())
{
}

TRegistry::TRegistry(const QString& iniFile)
    : m_file(iniFile)
{
}

QString TRegistry::defaultFile()
{
    return services().paths().settingsFolder() + QStringLiteral("/pos/registry.ini");
}

bool TRegistry::keyExists(const QString& keyPath) const
{
    QSettings s(m_file, QSettings::IniFormat);
    s.beginGroup(groupOf(keyPath));
    return !s.allKeys().isEmpty();
}

void TRegistry::createKey(const QString& keyPath)
{
    if (keyExists(keyPath))
        return;
    preparePrivateFile(m_file);
    QSettings s(m_file, QSettings::IniFormat);
    s.setValue(entryOf(keyPath, kCreatedMarker), QString());
}

void TRegistry::deleteKey(const QString& keyPath)
{
    if (!QFileInfo::exists(m_file))
        return;
    preparePrivateFile(m_file);
    QSettings s(m_file, QSettings::IniFormat);
    s.remove(groupOf(keyPath));
}

bool TRegistry::valueExists(const QString& keyPath, const QString& name) const
{
    QSettings s(m_file, QSettings::IniFormat);
    return s.contains(entryOf(keyPath, name));
}

QString TRegistry::readString(const QString& keyPath, const QString& name) const
{
    QSettings s(m_file, QSettings::IniFormat);
    return s.value(entryOf(keyPath, name)).toString();
}

void TRegistry::writeString(const QString& keyPath, const QString& name, const QString& value)
{
    preparePrivateFile(m_file);
    QSettings s(m_file, QSettings::IniFormat);
    s.setValue(entryOf(keyPath, name), value);
    s.remove(entryOf(keyPath, kCreatedMarker));
    s.sync();
}

QStringList TRegistry::valueNames(const QString& keyPath) const
{
    QSettings s(m_file, QSettings::IniFormat);
    s.beginGroup(groupOf(keyPath));
    QStringList names = s.childKeys();
    names.removeAll(kCreatedMarker);
    return names;
}
