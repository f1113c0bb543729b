#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tfrmadminoptions;
}

// The administrator's screen. Its creation at start-up finds this terminal's id.
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
    void BitBtn1Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::Tfrmadminoptions> ui;
};
