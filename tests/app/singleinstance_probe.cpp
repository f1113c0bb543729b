// A copy of the program reduced to its single-instance check, for tests across processes.
//   singleinstance_probe [permitted] [--quit-when-raised] [--before-application]
// Prints "running" when it became a running copy and "raised" (then "restored" when its
// minimised window came back) when another copy asked it forward; exits 3 when refused.

#include "app/U_No2ndInstance.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {

void say(const char* line)
{
    std::printf("%s\n", line);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    int permitted = 1;
    bool quitWhenRaised = false;
    bool beforeApplication = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--quit-when-raised")
            quitWhenRaised = true;
        else if (arg == "--before-application")
            beforeApplication = true;
        else if (arg.toInt() > 0)
            permitted = arg.toInt();
    }

    // The check may come before the application object exists.
    if (beforeApplication && IsSecondInstance(nullptr, permitted))
        return 3;
    QApplication app(argc, argv);
    if (!beforeApplication && IsSecondInstance(nullptr, permitted))
        return 3;

    // As in the program, the window comes after the check.
    QWidget window;
    window.setWindowTitle(QStringLiteral("probe"));
    window.resize(200, 100);
    window.showMinimized();
    singleInstance().setWindow(&window);

    QObject::connect(&singleInstance(), &SingleInstance::activationRequested, &app, [&] {
        say("raised");
        if (!window.isMinimized())
            say("restored");
        if (quitWhenRaised)
            QTimer::singleShot(0, &app, &QCoreApplication::quit);
    });
    say("running");
    return app.exec();
}
