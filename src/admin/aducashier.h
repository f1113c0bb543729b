#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tfrmaducashier;
}

// The configuration screen: users and passwords, the company's limits and its logo. Opened by
// the back-office menu, and by the login screen while no user exists, with only the user
// maintenance enabled.
class Tfrmaducashier : public QWidget {
    Q_OBJECT
public:
    explicit Tfrmaducashier(QWidget* parent = nullptr);
    ~Tfrmaducashier() override;

public Q_SLOTS:
    void FormActivate();
    void refreshstringgrid();
    void Button2Click();
    void Button3Click();
    void Button1Click();
    void StringGrid1SelectCell(int row);
    void btn_changeClick();
    void Button7Click();
    void Button5Click();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "Please Enter the Details" when a user field is empty, with the focus on the first empty
    // of name and password.
    bool detailsMissing(bool withRetype);
    void clearUserFields(bool withRetype);
    QString role() const;
    void setUserButtons(bool add, bool change, bool remove);
    // Ends the first-user mode: the settings and logo groups and their buttons are enabled.
    void enableSettings();
    void loadSettings();
    void showLogo(const QString& file);
    void E_re_passwordExit();
    // The user logged in here (empty for the first-user login).
    QString currentUser() const;
    // Asks for the shop's super-password, typed twice, and stores it.
    enum class NewSuperPassword { Set, SetElsewhere, Cancelled };
    NewSuperPassword askNewSuperPassword();

    std::unique_ptr<Ui::Tfrmaducashier> ui;
    bool m_browsing = false;
};
