#pragma once

#include <QString>
#include <stdexcept>

// Errors that no handler catches travel up to the application-wide handler, which reports
// className() + " error raised, with message : " + message(). The class names follow the
// error kinds the users and the log book know.
class PosError : public std::runtime_error {
public:
    explicit PosError(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    virtual QString className() const { return QStringLiteral("Exception"); }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A statement or connection failed on the server.
class EDatabaseError : public PosError {
public:
    explicit EDatabaseError(const QString& message, const QString& serverCode = QString())
        : PosError(message)
        , m_serverCode(serverCode)
    {
    }
    QString className() const override { return QStringLiteral("EDatabaseError"); }
    // The server's error number ("1062" for a duplicate key), empty when the server sent none.
    QString serverCode() const { return m_serverCode; }

private:
    QString m_serverCode;
};

// A text that should read as a number does not.
class EConvertError : public PosError {
public:
    using PosError::PosError;
    QString className() const override { return QStringLiteral("EConvertError"); }
};

// An operating-system service (files, processes, adapters) failed.
class EOSError : public PosError {
public:
    using PosError::PosError;
    QString className() const override { return QStringLiteral("EOSError"); }
};

// The class name shown for any exception, ours or the library's.
QString errorClassName(const std::exception& e);
QString errorMessage(const std::exception& e);
