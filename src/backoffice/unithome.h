#pragma once

#include <QWidget>
#include <memory>

class QListWidget;

namespace Ui {
class TFrmBackOffice;
}

// The back office's home screen: every booked item with its opening and closing stock, items at
// or below their minimal in red, and today's remark.
class TFrmBackOffice : public QWidget {
    Q_OBJECT
public:
    explicit TFrmBackOffice(QWidget* parent = nullptr);
    ~TFrmBackOffice() override;

public Q_SLOTS:
    // Fills the screen; runs every time it is shown.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // Selecting a line in one list selects the same line in the other two.
    void selectLine(QListWidget* source, int row);

    std::unique_ptr<Ui::TFrmBackOffice> ui;
};
