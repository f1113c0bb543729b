#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tfmcomment;
}

// The comments screen: read, add to and delete the remark of today or a later day.
class Tfmcomment : public QWidget {
    Q_OBJECT
public:
    explicit Tfmcomment(QWidget* parent = nullptr);
    ~Tfmcomment() override;

public Q_SLOTS:
    // Runs whenever the menu shows the screen.
    void FormActivate();
    // A day was chosen in the date picker.
    void DateTimePicker1CloseUp();
    void BtnAddUpdComClick();
    void BtnDeleteClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPlaceholder();
    // Empties the field for typing when it shows the placeholder.
    void startTyping();
    bool showsPlaceholder() const;
    QString day() const;
    void showRemark();

    std::unique_ptr<Ui::Tfmcomment> ui;
    bool m_settingDate = false;
};
