#pragma once

#include <QApplication>
#include <exception>
#include <functional>

// The application object: every error that an event handler lets escape reaches the installed
// application-wide handler instead of ending the process.
class PosApplication : public QApplication {
public:
    PosApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

using ErrorHandler = std::function<void(QObject* sender, const std::exception& error)>;

// Installs the application-wide handler (the login screen's, once it exists).
void SetErrorHandler(ErrorHandler handler);
// Hands an error to the installed handler; without one it is written to standard error and the
// program is terminated.
void HandleError(QObject* sender, const std::exception& error);

// Ends the program from the error handler: the event loop stops and no close handler runs.
void TerminateProgram();
bool ProgramTerminated();
// Lets a test run the frame again after a terminated run.
void ClearProgramTermination();
// Ends the program normally (the main window was closed).
void QuitProgram();
