// A copy of the program reduced to its single-instance check, for tests across processes.
//   singleinstance_probe [permitted] [--quit-when-raised]
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
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    int permitted = 1;
    if (args.size() > 1 && args.at(1).toInt() > 0)
        permitted = args.at(1).toInt();
    const bool quitWhenRaised = args.contains(QStringLiteral("--quit-when-raised"));

    if (IsSecondInstance(nullptr, permitted))
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
