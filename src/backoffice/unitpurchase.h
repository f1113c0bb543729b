#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class TFpurchase;
}

// The purchase screen: books an item's opening stock and purchases into the stock ledger for
// today, and marks suppliers' bills received.
class TFpurchase : public QWidget {
    Q_OBJECT
public:
    explicit TFpurchase(QWidget* parent = nullptr);
    ~TFpurchase() override;

public Q_SLOTS:
    // Runs whenever the menu shows the screen.
    void FormActivate();
    void ComboBox1DropDown();
    void ComboBox1Select();
    void BtnAddDetailsClick();
    void BtnReceivedClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void installFieldRules();
    void openingKeyReleased();
    void purchaseKeyReleased();
    // The item chosen in the list (as the list spells it); empty when the text names none.
    QString chosenItem() const;
    // Today as the booking day, "yyyy-mm-dd"; the picker follows the clock.
    QString bookingDay();
    void showOpeningEntry(bool shown);
    void fillItemList();

    std::unique_ptr<Ui::TFpurchase> ui;
    QString m_purchaseLimit;
    // The opening stock entry's text as the ledger has it: a new text moves the stock by the
    // difference.
    QString m_openingText;
};
