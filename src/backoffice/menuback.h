#pragma once

#include <QDate>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

namespace Ui {
class Tfrmmenu;
}

// The back-office menu: one full-screen window with a column of category buttons; each button
// places one working screen beside the column, inside the menu window.
class Tfrmmenu : public QWidget {
    Q_OBJECT
public:
    explicit Tfrmmenu(QWidget* parent = nullptr);
    ~Tfrmmenu() override;

    // Makes the screen the current working screen: hides the one placed before (when it is
    // another), and places this one borderless and white at left 230, top 30 of the menu.
    void Fixposition(QWidget* screen);
    // The working screen placed last; null after BACK.
    QWidget* currentScreen() const { return m_current; }

    // The back office's working date (the hidden date picker); the item screen dates the overall
    // tax with it.
    QDate workingDate() const;
    void setWorkingDate(const QDate& day);

    // Loads the company's logo file afresh (a new one chosen on the configuration screen).
    void showLogo();

public Q_SLOTS:
    void FormActivate();
    void HomeClick();
    void ItemDetailsClick();
    void PurchaseClick();
    void ViewStockClick();
    void CommentsClick();
    void ConfigurationClick();
    void Button1Click();
    void BitBtn2Click();
    void Image2Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void showWorkingScreen(QWidget* screen, bool logo);
    void placeControls();
    // Gives the placed screens back as windows of their own, hidden: other parts of the program
    // show some of them outside the back office.
    void releaseScreens();
    QString helpTopic() const;

    std::unique_ptr<Ui::Tfrmmenu> ui;
    QPointer<QWidget> m_current;
    QList<QPointer<QWidget>> m_placed;
    QPixmap m_logo;
};
