#include "app/posapplication.h"

#include "platform/errors.h"

#include <QIcon>
#include <QPointer>

namespace {

ErrorHandler& handler()
{
    static ErrorHandler h;
    return h;
}

bool& terminated()
{
    static bool t = false;
    return t;
}

} // namespace

PosApplication::PosApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("pos"));
    setOrganizationName(QStringLiteral("pos"));
    setApplicationVersion(QStringLiteral("1.1"));
    // The installed desktop entry and icon (pos.desktop, icon "pos"); the desktop matches windows
    // to the entry by this name.
    setDesktopFileName(QStringLiteral("pos"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("pos")));
    setQuitOnLastWindowClosed(false);
}

bool PosApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        HandleError(receiver, e);
    } catch (...) {
        HandleError(receiver, PosError(QStringLiteral("Unknown error")));
    }
    return false;
}

void SetErrorHandler(ErrorHandler h)
{
    handler() = std::move(h);
}

void HandleError(QObject* sender, const std::exception& error)
{
    if (terminated())
        return; // one report is enough while the program ends
    if (handler()) {
        handler()(sender, error);
        return;
    }
    qCritical("%s error raised, with message : %s", qPrintable(errorClassName(error)), qPrintable(errorMessage(error)));
    TerminateProgram();
}

void TerminateProgram()
{
    terminated() = true;
    QCoreApplication::exit(1);
}

bool ProgramTerminated()
{
    return terminated();
}

void ClearProgramTermination()
{
    terminated() = false;
}

void QuitProgram()
{
    QCoreApplication::exit(0);
}
