#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class Tdbform;
}

// "Database Connections": where the server and account are entered once per user.
class Tdbform : public QWidget {
    Q_OBJECT
public:
    explicit Tdbform(QWidget* parent = nullptr);
    ~Tdbform() override;

    // The server field's address; an empty address reads "0.0.0.0".
    QString serverText() const;

private Q_SLOTS:
    void btn_connectClick();

private:
    std::unique_ptr<Ui::Tdbform> ui;
};
