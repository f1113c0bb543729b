#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tfmhomedelivery;
}

// The home delivery screen: turns the bill on the settlement screen into a home-delivery bill
// with its customer and delivery charges, and returns to the settlement screen.
class Tfmhomedelivery : public QWidget {
    Q_OBJECT
public:
    explicit Tfmhomedelivery(QWidget* parent = nullptr);
    ~Tfmhomedelivery() override;

    // The bill field: terminal id + "/" + bill number of the bill being delivered.
    QString billKey() const;

public Q_SLOTS:
    // Runs whenever the screen is shown for a bill.
    void FormShow();
    void btnokdeliveryaddClick();
    void Button1Click();
    void EHChargesExit();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showDeliveryMoment();

    std::unique_ptr<Ui::Tfmhomedelivery> ui;
    // the upper-cased customer name of this visit's "OK"; the settlement screen gets it on return
    QString m_lastName;
};
