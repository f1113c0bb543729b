#include "platform/messagedialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

namespace {

// Texts often carry values the user typed or the database returned; they are shown as they are,
// never read as markup.
void showPlain(QMessageBox& box, const char* labelName)
{
    if (auto* label = box.findChild<QLabel*>(QLatin1String(labelName)))
        label->setTextFormat(Qt::PlainText);
}

Dialogs::Answer ask(
    const QString& question, QMessageBox::StandardButtons buttons, QMessageBox::StandardButton defaultButton)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question, buttons, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("Confirm"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultButton);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Dialogs::Answer::Yes;
    case QMessageBox::No:
        return Dialogs::Answer::No;
    case QMessageBox::Ok:
        return Dialogs::Answer::Ok;
    case QMessageBox::Cancel:
        return Dialogs::Answer::Cancel;
    default:
        return Dialogs::Answer::Closed;
    }
}

} // namespace

void MessageDialogs::showMsg(const QString& mainText, const QString& detail, int kind)
{
    QMessageBox box(QApplication::activeWindow());
    box.setObjectName(QStringLiteral("Message"));
    box.setWindowTitle(QStringLiteral("Message"));
    box.setIcon(kind == 1 ? QMessageBox::Critical : QMessageBox::Information);
    box.setTextFormat(Qt::PlainText);
    box.setText(mainText);
    if (!detail.isEmpty()) {
        box.setInformativeText(detail);
        showPlain(box, "qt_msgbox_informativelabel");
    }
    // The main text is the main instruction: larger and bold above the detail.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = label->font();
        font.setBold(true);
        font.setPointSizeF(font.pointSizeF() * 1.2);
        label->setFont(font);
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

Dialogs::Answer MessageDialogs::askYesNo(const QString& question)
{
    return ask(question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
}

Dialogs::Answer MessageDialogs::askOkCancel(const QString& question)
{
    return ask(question, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok);
}

bool MessageDialogs::askPassword(const QString& prompt, QString& password)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setObjectName(QStringLiteral("Password"));
    // the program's one password query is the super-password's
    dialog.setWindowTitle(QStringLiteral("Superpassword"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(prompt);
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setTextValue(QString());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    password = dialog.textValue();
    return true;
}

QString MessageDialogs::chooseFolder(const QString& title)
{
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title);
}

QString MessageDialogs::chooseFile(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder, filter);
}
