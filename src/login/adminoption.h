#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tfrmadminoptions;
}

// The administrator's screen: adds and removes companies and enters the sales counter or the
// back office of one. Its creation at start-up finds this terminal's id and runs the
// start-of-day maintenance over every company.
class Tfrmadminoptions : public QWidget {
    Q_OBJECT
public:
    explicit Tfrmadminoptions(QWidget* parent = nullptr);
    ~Tfrmadminoptions() override;

    // This terminal's id in the terminal catalogue; empty when the terminal is not registered.
    QString TerminalId;
    // The administrator's company choice.
    QString AdminCompanyName;
    QString AdminCompanyDb;
    QString AdminSettingsKey;

    // Looks this terminal's id up again (after a company was added, for example).
    void refreshTerminalId();

public Q_SLOTS:
    void FormShow();
    void FillCompanyList();
    void Button1Click();
    void btnremoveClick();
    void Edit2Exit();
    void Button2Click();
    void Button3Click();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "POS" and "BACKOFFICE": point the connections at the chosen company and open the menu.
    void openSection(QWidget* menu, const QString& userLabel, const QString& logText);
    // The typed removal name is the selected company; otherwise says so and empties the field.
    bool removalNameMatches();

    std::unique_ptr<Ui::Tfrmadminoptions> ui;
};
