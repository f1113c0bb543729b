#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

class QAction;

namespace Ui {
class Tfrmmenupos;
}

// The POS menu: the full-screen frame of the sales counter. Its category buttons open the
// counter's screens beside them; "HOME" goes back by the user's role; closing it ends the
// program after tidying the terminal's open order.
class Tfrmmenupos : public QWidget {
    Q_OBJECT
public:
    explicit Tfrmmenupos(QWidget* parent = nullptr);
    ~Tfrmmenupos() override;

    // Places a counter screen beside the category buttons, at left 220, top 30 of the menu, white
    // and borderless, and hides the screen placed before. While the menu is shown the screen goes
    // inside the menu's window, where keyboard focus needs no window manager; otherwise it is a
    // window of its own at that place.
    void Fixposition(QWidget* screen);

    // The counter screen shown beside the menu, null when none is.
    QWidget* visibleScreen() const;
    // The help topic of the visible screen.
    QString helpTopic() const;

public Q_SLOTS:
    void FormShow();
    void FormActivate();
    void categoryClick(QAction* action);
    void btnbackClick();
    void BitBtn2Click();
    void Image2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The grid rows of the order on the counter: the settlement screen's bill while it is shown,
    // otherwise the order screen's.
    void dropOpenOrder();
    void showCompany();
    void placeLabels();

    std::unique_ptr<Ui::Tfrmmenupos> ui;
    QPointer<QWidget> m_current;
    QList<QPointer<QWidget>> m_placed;
};
