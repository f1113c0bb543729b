#pragma once

#include <QDateTime>
#include <QKeySequence>
#include <QList>
#include <QWidget>
#include <memory>

class QLineEdit;
class QTabBar;
class QueryTableModel;
struct BillKey;
enum class PaymentMethod;

namespace Ui {
class Tfmsalesorderdtls;
}

// The settlement screen: shows a processed bill and takes its payment by cash, card or cheque,
// holds it, or sends the cashier back to change the items or on to the next bill.
class Tfmsalesorderdtls : public QWidget {
    Q_OBJECT
public:
    explicit Tfmsalesorderdtls(QWidget* parent = nullptr);
    ~Tfmsalesorderdtls() override;

    // Set by "CHANGE ITEM DETAILS"; the order screen takes the bill back and clears it.
    bool ReturnFlag = false;

    // The bill shown: lblbillno and lbl_machine_id.
    QString billNo() const;
    QString terminalId() const;
    // The customer name field cname.
    QString customerName() const;
    void setCustomerName(const QString& name);

    // What follows the printing of the bill: the customer is forgotten, "PRINT BILL" hidden, and
    // the counter goes back to order entry.
    void afterBillPrinted();

    // Ctrl+H, also when the POS menu passes it on: "HOLD", but nothing on a complete bill.
    void holdShortcut();

public Q_SLOTS:
    void FormShow();
    void FormActivate();
    void TabControl1Change();
    void RadioGroup1Click();
    void btnHomedeliveryClick();
    void DateTimePicker3CloseUp();
    void BtnCashClick();
    void BtnCardClick();
    void btnChequeClick();
    void btnholdClick();
    void btnsaveClick();
    void btnprintbillClick();
    void btnnextbillClick();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // "Take Away" chosen (a click or Ctrl+D)
    void takeAwayChosen();
    void pay(PaymentMethod method);
    BillKey bill() const;
    void showPanel(int tab);
    void emptyPanelFields(int tab);
    void enableActions();
    void showSummary();
    void refreshGrid();
    void showOrderScreen();
    QLineEdit* amountBox(PaymentMethod method) const;

    std::unique_ptr<Ui::Tfmsalesorderdtls> ui;
    QTabBar* m_tabs = nullptr;
    QueryTableModel* m_grid = nullptr;
    QList<QKeySequence> m_shortcutKeys;
    QDateTime m_shownAt;
    bool m_complete = false;
    // "CHANGE ITEM DETAILS" stays off for the rest of the visit once a payment passed its checks,
    // and for a bill that money was paid on
    bool m_itemsSettled = false;
    bool m_changeAllowed = true;
    // the bill (Label27) the name in cname was given for; empty when cname is empty
    QString m_customerBill;
};

// Forgets the customer of the bill on the counter: the order screen's customer name, the
// settlement screen's, and the id the customer screen remembers. A new bill starts without one.
void ForgetBillCustomer();
// Gives the counter the customer a bill carries (a resumed bill): its name on the order and
// settlement screens and its id as the chosen customer. A walk-in customer leaves them empty.
void TakeBillCustomer(const BillKey& bill);
