#pragma once

#include <QWidget>
#include <memory>

class QueryTableModel;
class TQuery;

namespace Ui {
class Tfmviewdetails;
}

// The bill details report: the payments of the bills of a date range, by delivery kind and
// payment type, coloured by payment type, with the total of the amounts paid.
class Tfmviewdetails : public QWidget {
    Q_OBJECT
public:
    explicit Tfmviewdetails(QWidget* parent = nullptr);
    ~Tfmviewdetails() override;

public Q_SLOTS:
    // Runs whenever the menu shows the screen: the list of the range as it stands, then today.
    void FormShow();
    // Each filter change and each date picker's calendar closing.
    void runReport();
    // "Total Amount ".
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The rows listed; null when the range is refused.
    TQuery* report();

    std::unique_ptr<Ui::Tfmviewdetails> ui;
    QueryTableModel* m_rows = nullptr;
};
