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
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSettings s(m_file, QSettings::IniFormat);
    s.setValue(entryOf(keyPath, kCreatedMarker), QString());
}

void TRegistry::deleteKey(const QString& keyPath)
{
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
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSettings s(m_file, QSettings::IniFormat);
    s.setValue(entryOf(keyPath, name), value);
    s.remove(entryOf(keyPath, kCreatedMarker));
    s.sync();
    // The file may hold the server password: keep it private to the user.
    QFile::setPermissions(m_file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QStringList TRegistry::valueNames(const QString& keyPath) const
{
    QSettings s(m_file, QSettings::IniFormat);
    s.beginGroup(groupOf(keyPath));
    QStringList names = s.childKeys();
    names.removeAll(kCreatedMarker);
    return names;
}
