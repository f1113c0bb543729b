#pragma once

#include <QKeySequence>
#include <QList>
#include <QWidget>
#include <memory>

class QButtonGroup;
class QueryTableModel;
struct OrderContext;

namespace Ui {
class Tfmorderitem;
}

// The order entry screen: the cashier rings up the terminal's order by item name or barcode,
// then processes it into a bill.
class Tfmorderitem : public QWidget {
    Q_OBJECT
public:
    explicit Tfmorderitem(QWidget* parent = nullptr);
    ~Tfmorderitem() override;

    // The bill this screen shows while it is visible, or the one it takes on when it is shown
    // next: terminal id + "/" + bill number.
    QString billToHold() const;
    // Gives the customer (the name in ECustName) to the bill `billKey`; an empty key and name
    // leave the screen without a customer. A customer given to another bill than the one the
    // screen shows is forgotten as soon as the screen shows its bill.
    void setBillCustomer(const QString& billKey, const QString& name);
    // "Assign to Bill": the customer of the bill this screen holds or is about to hold. The
    // previous bill's customer is forgotten first.
    void assignCustomer(const QString& name);

public Q_SLOTS:
    void FormShow();
    void FormActivate();
    void RadioButton1Click();
    void RadioButton2Click();
    void RadioGroup1Click();
    void CboxItemDropDown();
    void DBGrid1CellClick();
    void BtnradioACDClick();
    void btnprocessorderClick();
    void clearClick();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // takes the bill back from the settlement screen after "CHANGE ITEM DETAILS"
    void takeReturnedBill();
    // drops the order lines this terminal left behind for other bills than the one shown
    void clearStaleLines();
    // type-ahead in the item box; true when the key was consumed
    bool itemBoxKey(QKeyEvent* key);
    void ClearItemList();
    // quantity limit and Round Off from the company's settings
    void readSettings();
    // cuts the quantity box to the limit (and so to a whole number the counter can add up)
    void applyQuantityLimit();
    void RefreshOrderGrid();
    void stampDateTime();
    void showBillLabel();
    OrderContext context() const;
    void resetEntry();
    QString actionText() const;
    int mode() const;

    std::unique_ptr<Ui::Tfmorderitem> ui;
    QButtonGroup* m_options = nullptr;
    QueryTableModel* m_grid = nullptr;
    QList<QKeySequence> m_shortcutKeys;
    QString m_searchText;
    QString m_quantityLimit;
    QString m_roundOff;
    // the bill the customer in ECustName belongs to; empty when it has none
    QString m_customerBill;
};
