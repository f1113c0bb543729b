#pragma once

#include "platform/services.h"

#include <QPointer>
#include <QStringList>

class QTextBrowser;
class QWidget;

// Shows the help pages shipped inside the program (resources below "/help-pos.chm/") in a small
// window of its own. One window serves every topic; it is created on first use.
class HelpWindow : public HelpViewer {
public:
    HelpWindow();
    ~HelpWindow() override;

    // topic as the screens name it, "Login.htm"; a leading "::/" is accepted.
    void showTopic(const QString& topic) override;

    // The help window, or null before the first topic was shown (or after it was closed).
    QWidget* window() const;
    QTextBrowser* browser() const;

    // Resource path of a topic's page, empty when the help has no such page.
    static QString resourcePath(const QString& topic);
    // The pages shipped with the program.
    static QStringList topics();

private:
    void createWindow();

    QPointer<QWidget> m_window;
    QPointer<QTextBrowser> m_browser;
};
