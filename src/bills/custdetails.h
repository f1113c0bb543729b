#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QueryTableModel;
class TQuery;

namespace Ui {
class Tfmcustdetails;
}

// The customer screen: lists and searches the customers, adds one, gives a listed customer to
// the bill being rung up, and opens a customer's history.
class Tfmcustdetails : public QWidget {
    Q_OBJECT
public:
    explicit Tfmcustdetails(QWidget* parent = nullptr);
    ~Tfmcustdetails() override;

    // The customer chosen for the bill ("Assign to Bill", a customer's history); the settlement
    // screen gives the bill this customer when name and id still match. Empty when none.
    QString SelectedCustomerId;
    // A search has been run since the POS menu opened the screen: showing keeps its list.
    bool SearchRun = false;

public Q_SLOTS:
    void FormShow();
    void FormActivate();
    // Lists the customers whose name contains the search text (all of them without one).
    void btn_searchClick();
    void btnAddCustClick();
    void btn_billnoClick();
    void DBGrid1DblClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCustomers(const TQuery& customers);
    // The customer of the grid's current row, or of its first row when none is chosen.
    int chosenRow() const;

    std::unique_ptr<Ui::Tfmcustdetails> ui;
    QueryTableModel* m_customers = nullptr;
};
