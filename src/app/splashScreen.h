#pragma once

#include <QPixmap>
#include <QPointer>
#include <QPropertyAnimation>
#include <QRect>
#include <QWidget>

class QTimer;

namespace Ui {
class Tfrm_splash;
}

// The borderless start-up window with the program's name and a moving progress strip. It is
// created on demand, never kept: see HoldSplash.
class Tfrm_splash : public QWidget {
    Q_OBJECT
public:
    explicit Tfrm_splash(QWidget* parent = nullptr);
    ~Tfrm_splash() override;

    // Fades the window out, letting window events run meanwhile, then closes it.
    void closeAnimated();

    // The strip moves by turning its picture: the leftmost columns go to the right end.
    static QPixmap rotateLeft(const QPixmap& picture, int columns);

public Q_SLOTS:
    void advanceProgress();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void restoreCursor();
    QRect centredGeometry() const;

    Ui::Tfrm_splash* ui;
    QTimer* Time_splash;
    QPixmap m_progress;
    QPointer<QPropertyAnimation> m_fadeIn;
    bool m_cursorSet = false;
    bool m_closing = false;
};

// Shows the splash and holds it for `seconds` whole seconds of the program's clock while window
// events keep running, then closes and deletes it.
void HoldSplash(int seconds);
