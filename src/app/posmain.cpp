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

#include <QIcon>

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
        QObject::connect(&dbform, &QObject::destroyed, &app, &QCoreApplication::quit);
        dbform.setAttribute(Qt::WA_DeleteOnClose, false);
        dbform.show();
        QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, &QCoreApplication::quit);
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
        r.fmlogin->show();
        code = app.exec();
    }
    // However the program ends, the user logged on here can log in again.
    if (r.fmlogin && !ProgramTerminated())
        r.fmlogin->ResetCurrentUserQuietly();
    r.destroy();
    return code;
}
