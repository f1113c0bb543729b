#pragma once

#include <QWidget>
#include <memory>

class QButtonGroup;
class QLineEdit;
class QueryTableModel;

namespace Ui {
class TFitemdetails;
}

// The item master screen: add, change and remove items, and set the overall tax of the
// working date.
class TFitemdetails : public QWidget {
    Q_OBJECT
public:
    explicit TFitemdetails(QWidget* parent = nullptr);
    ~TFitemdetails() override;

public Q_SLOTS:
    // Runs whenever the menu shows the screen.
    void FormActivate();
    void RadioGroup1Click();
    void BtnAddClick();
    void CBoxItemName2Select();
    void BtnChangeClick();
    void CBoxItemName3Select();
    void BtnRemoveClick();
    void BtnTaxClick();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installFieldRules();
    // What a field does when the user leaves it.
    void fieldLeft(QLineEdit* field);
    void showPanel(int mode);
    void refillItemLists();
    void refreshGrid();
    void showLatestTax();
    void clearAddFields();
    void clearChangeFields();

    std::unique_ptr<Ui::TFitemdetails> ui;
    QButtonGroup* m_options = nullptr;
    QueryTableModel* m_grid = nullptr;
    QString m_rateLimit;
    QString m_minimalFloor;
};
