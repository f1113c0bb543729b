#pragma once

#include <QWidget>
#include <memory>

class QueryTableModel;

namespace Ui {
class Tfmview_stock;
}

// The stock view: the ledger rows of a range of days, for one item or all, either those whose
// supplier bill was received or those whose bill was not; the rows listed can be exported as a
// workbook.
class Tfmview_stock : public QWidget {
    Q_OBJECT
public:
    explicit Tfmview_stock(QWidget* parent = nullptr);
    ~Tfmview_stock() override;

public Q_SLOTS:
    // Fill the item list and list the received rows of every item; run whenever the menu shows
    // the screen.
    void FormShow();
    void FormActivate();
    // The calendar of a date picker closed, the item changed, the box was clicked.
    void DateTimePickerCloseUp();
    void ComboBox1Change();
    void CheckBox1Click();
    void BtnExcelViewClick();
    void Label1Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void filter();

    std::unique_ptr<Ui::Tfmview_stock> ui;
    QueryTableModel* m_grid = nullptr;
    bool m_settingDates = false;
};
