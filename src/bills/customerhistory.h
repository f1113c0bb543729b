#pragma once

#include <QString>
#include <QWidget>
#include <memory>

class QueryTableModel;
struct BillKey;

namespace Ui {
class TfrmAdminCreate;
}

// The customer history screen: every bill of one customer name, of every terminal; a bill
// opens on the old bills screen.
class TfrmAdminCreate : public QWidget {
    Q_OBJECT
public:
    explicit TfrmAdminCreate(QWidget* parent = nullptr);
    ~TfrmAdminCreate() override;

    // Set when a bill is opened from here: the old bills screen's "Back" then returns here. The
    // POS menu clears it whenever one of its entries opens a screen.
    bool HistoryMark = false;

    // The hidden name field Edit1: the customer whose bills are listed.
    QString customerName() const;
    void setCustomerName(const QString& name);

public Q_SLOTS:
    void FormActivate();
    // "View" (hidden, Ctrl+V): lists the bills of the name field.
    void dbdbClick();
    void DBGrid2CellClick(int row);
    void bck_btn1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::TfrmAdminCreate> ui;
    QueryTableModel* m_bills = nullptr;
};

// Opens one bill of a customer on the old bills screen, its search controls disabled: the
// customer label Label4, the selected bill E_bill_no (bill number) and Edit1 (terminal id),
// its key label Label7, "PRINT BILL" (Button2) and the view button Button3 captioned "Back".
void OpenBillOnOldBillScreen(const QString& customerName, const BillKey& bill);
