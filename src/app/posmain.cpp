#include "app/posmain.h"

#include "app/U_No2ndInstance.h"
#include "app/posapplication.h"
#include "app/roster.h"
#include "db/dbform.h"
#include "db/dbformpas.h"
#include "login/poslogin.h"
#include "platform/helpwindow.h"
#include "platform/messagedialogs.h"
#include "platform/services.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = { -1, -1 };

void onTerminationSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(signalPipe[1], &c, 1);
}

// A session ending or a kill asks the program to end: close the main window as a user would,
// so the user is let in again and the generated files are removed.
void closeOnTerminationSignals(QWidget* mainWindow)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [mainWindow] {
        char c;
        [[maybe_unused]] auto n = ::read(signalPipe[0], &c, 1);
        mainWindow->close();
    });
    struct sigaction sa = {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : { SIGTERM, SIGINT, SIGHUP })
        sigaction(sig, &sa, nullptr);
}

} // namespace

int PosMain(int argc, char** argv)
{
    PosApplication app(argc, argv);
    services().setDialogs(std::make_unique<MessageDialogs>());
    services().setHelp(std::make_unique<HelpWindow>());

    // One running copy: a refused copy brings the running one to the front and ends.
    SingleInstance instance;
    if (instance.isSecondInstance(nullptr, 1))
        return 0;

    if (MyFunction()) {
        // No server configured yet: only the connection screen; saving working settings ends the program.
        Tdbform dbform;
        instance.setWindow(&dbform);
        dbform.show();
        app.setQuitOnLastWindowClosed(true);
        return app.exec();
    }

    Roster& r = roster();
    try {
        r.create();
    } catch (const std::exception& e) {
        HandleError(nullptr, e);
    }
    int code = 1;
    if (!ProgramTerminated()) {
        instance.setWindow(r.fmlogin);
        closeOnTerminationSignals(r.fmlogin);
        r.fmlogin->show();
        code = app.exec();
    }
    // However the program ends, the user logged on here can log in again.
    if (r.fmlogin && !ProgramTerminated())
        r.fmlogin->ResetCurrentUserQuietly();
    r.destroy();
    return code;
}
