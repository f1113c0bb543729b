#pragma once

#include <QWidget>
#include <exception>
#include <memory>

namespace Ui {
class Tfmlogin;
}

class TLogBook;

// The login screen, the program's main window: closing it ends the program. Its creation
// prepares the whole program (log book, error handler, database provisioning).
class Tfmlogin : public QWidget {
    Q_OBJECT
public:
    explicit Tfmlogin(QWidget* parent = nullptr);
    ~Tfmlogin() override;

    // The name and password of the last attempt against the users table, trimmed.
    QString LastLoginName;
    QString LastLoginPassword;
    // The logged-on user; empty after a logout.
    QString CurrentUser;
    // Set when a login check refuses; stays set for the run.
    bool LoginFailed = false;

    // Application-wide handler for errors no screen catches: logs and shows the error, removes
    // the generated files, lets the user in again and ends the program.
    void MyExceptionHandler(QObject* sender, const std::exception& error);
    // Sets CurrentUser's logged-on flag back, ignoring failures (the program is ending).
    void ResetCurrentUserQuietly();
    // Back to the login screen from any screen: empty fields.
    void showEmpty();

    // The adapter address of this terminal (first Ethernet adapter) and the computer name.
    static QString Macaddress();
    static QString ComputerName();

public Q_SLOTS:
    void btnloginClick();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void bootstrapLogin(const QString& name, const QString& password);
    void loginUser();

    std::unique_ptr<Ui::Tfmlogin> ui;
    std::unique_ptr<TLogBook> m_logBook;
    bool m_activatedOnce = false;
};
