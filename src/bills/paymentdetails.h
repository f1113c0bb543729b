#pragma once

#include <QSet>
#include <QString>
#include <QWidget>
#include <memory>

class QButtonGroup;
class QueryTableModel;
struct BillKey;
enum class BillGroup;

namespace Ui {
class Tfmpaymentdetails;
}

// The payment details screen: the complete, held and part-paid bills of every terminal for a
// range of days. A held or part-paid bill is taken back to the settlement screen for payment under
// its lock ("PAYMENT"), a held entry is cancelled with its goods given back ("CANCEL"), and an
// administrator releases a locked bill ("UNLOCK").
class Tfmpaymentdetails : public QWidget {
    Q_OBJECT
public:
    explicit Tfmpaymentdetails(QWidget* parent = nullptr);
    ~Tfmpaymentdetails() override;

    // The bill last taken for payment here, which the settlement screen shows while ResumeFlag is
    // 1 (from "PAYMENT" until this screen is shown again or the order screen is shown).
    int ResumeFlag = 0;
    QString ResumeBillNo;
    QString ResumeTerminalId;

    // Takes the bill for payment under its lock and remembers it as the resumed bill. A bill
    // another terminal holds is refused and not remembered: nothing changes then.
    bool TakeForPayment(const QString& terminalId, const QString& billNo);
    // The settlement screen shows this bill: it becomes this terminal's alone, as a resumed bill
    // is (the lock a terminal holds is one bill's at a time). Returns the refusal to show when
    // another terminal holds the bill, empty otherwise.
    QString LockShownBill(const QString& terminalId, const QString& billNo);
    // The bill this terminal holds (resumed, or shown on the settlement screen) has left the
    // counter: its lock is released. A lock this terminal never won, or lost to an administrator's
    // "UNLOCK", is left alone.
    void ReleaseResumedBill();
    bool HoldsResumedLock() const { return m_lockHeld; }

public Q_SLOTS:
    void FormShow();
    void FormActivate();
    void RadioGroup1Click();
    // the calendar of a date picker closed, or a typed date was left
    void DateTimePickerCloseUp();
    void DBGrid1CellClick();
    void Button1Click();
    void btnPaymentClick();
    void btn_cancelClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BillGroup group() const;
    void selectGroup(BillGroup group);
    void list();
    // The selected row's bill and its row; false when no row is selected.
    bool selectedBill(BillKey* bill, int* row = nullptr) const;
    bool isLocked(int row) const;

    std::unique_ptr<Ui::Tfmpaymentdetails> ui;
    QButtonGroup* m_groups = nullptr;
    QueryTableModel* m_grid = nullptr;
    // the locked bills ("2/57") as the database held them when the list was last painted
    QSet<QString> m_locked;
    // the bill whose lock this terminal holds
    bool m_lockHeld = false;
    QString m_heldBillNo;
    QString m_heldTerminalId;
    bool m_settingDates = false;
};
