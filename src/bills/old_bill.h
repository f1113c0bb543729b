#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QueryTableModel;

namespace Ui {
class Told_bill;
}

// The old bills screen: completed bills of every terminal found by customer (name, id or both) in
// a range of days, or by bill key; a bill's lines, and its duplicate printed through the duplicate
// bill template. Opened from the POS menu, or by the customer history screen on one of its bills.
class Told_bill : public QWidget {
    Q_OBJECT
public:
    explicit Told_bill(QWidget* parent = nullptr);
    ~Told_bill() override;

    // The customer history screen's way in: the search is disabled, the bill's lines are shown
    // with "PRINT BILL" and "Back", and the customer's name is kept for the way back. "Back"
    // returns to the history while that screen's history mark is set.
    void openFromHistory(const QString& terminalId, const QString& billNo, const QString& customerName);

    // The selected bill: the hidden fields E_bill_no (number) and Edit1 (terminal id), and its
    // key in Label7.
    void setSelectedBill(const QString& terminalId, const QString& billNo);
    QString selectedBillNo() const;
    QString selectedTerminalId() const;

public Q_SLOTS:
    void FormActivate();
    void Rad_CustomerClick();
    void rad_BillnoClick();
    // the calendar of a date picker closed, or a typed date was left
    void DateTimePickerCloseUp();
    void btn_searchClick();
    void DBGrid2CellClick();
    void DBGrid2DblClick();
    void Button3Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "View": the selected bill's lines in place of the bills list.
    void view();
    // "Back": to the customer history, or to the bills list.
    void back();
    void loadBills();
    void clearSearchFields();

    std::unique_ptr<Ui::Told_bill> ui;
    QueryTableModel* m_bills = nullptr;
    QueryTableModel* m_lines = nullptr;
    bool m_settingDates = false;
};
