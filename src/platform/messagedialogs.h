#pragma once

#include "platform/services.h"

// The dialogs of the running program: the "Message" box and the question boxes.
class MessageDialogs : public Dialogs {
public:
    void showMsg(const QString& mainText, const QString& detail, int kind) override;
    Answer askYesNo(const QString& question) override;
    Answer askOkCancel(const QString& question) override;
    bool askPassword(const QString& prompt, QString& password) override;
    QString chooseFolder(const QString& title) override;
    QString chooseFile(const QString& title, const QString& folder, const QString& filter) override;
};
