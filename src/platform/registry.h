#pragma once

#include <QString>
#include <QStringList>

// The per-user registry: an INI file "pos/registry.ini" below the user's configuration folder.
// Key paths are written as the program passes them ("\Software\pos\db", "Software\pos"); each key
// is a group of the file, value names are its entries. Values are always text.
class TRegistry {
public:
    TRegistry();
    explicit TRegistry(const QString& iniFile);

    // The file in use, from services().paths().settingsFolder().
    static QString defaultFile();

    bool keyExists(const QString& keyPath) const;
    // A key exists once it holds a value; creating an empty key leaves a placeholder entry.
    void createKey(const QString& keyPath);
    void deleteKey(const QString& keyPath);

    bool valueExists(const QString& keyPath, const QString& name) const;
    // A missing value reads as empty text.
    QString readString(const QString& keyPath, const QString& name) const;
    void writeString(const QString& keyPath, const QString& name, const QString& value);
    QStringList valueNames(const QString& keyPath) const;

    QString fileName() const { return m_file; }

private:
    QString m_file;
};
