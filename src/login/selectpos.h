#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tfrmselectpos;
}

// The cashier's company screen: the company this counter sells for.
class Tfrmselectpos : public QWidget {
    Q_OBJECT
public:
    explicit Tfrmselectpos(QWidget* parent = nullptr);
    ~Tfrmselectpos() override;

    // The cashier's company choice, kept for the rest of the run.
    QString SelectedCompanyDb;
    QString SelectedCompanyName;
    QString CompanySettingsKey;

public Q_SLOTS:
    void FormShow();
    void ComboBox1Change();
    void btnnextClick();
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::Tfrmselectpos> ui;
};
