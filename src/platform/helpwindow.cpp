#include "platform/helpwindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

// The pages live in a static library; their resource object is linked only when referenced.
static void initHelpResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    Q_UNUSED(done);
}

namespace {

const QString helpFolder = QStringLiteral(":/help-pos.chm");

QString notFoundPage(const QString& topic)
{
    return QStringLiteral("<html><head><title>Topic not found</title></head><body>"
                          "<h2>Topic not found</h2>"
                          "<p>The help has no page named <b>%1</b>.</p>"
                          "<p>See the <a href=\"qrc:/help-pos.chm/Pos.htm\">POS menu</a> or the "
                          "<a href=\"qrc:/help-pos.chm/Backoffice.htm\">back office</a> pages.</p>"
                          "</body></html>")
        .arg(topic.toHtmlEscaped());
}

} // namespace

HelpWindow::HelpWindow()
{
    initHelpResources();
}

HelpWindow::~HelpWindow()
{
    // Without the application object the window can no longer be deleted safely; the process
    // is ending then anyway.
    if (m_window && QCoreApplication::instance())
        delete m_window;
}

QWidget* HelpWindow::window() const
{
    return m_window;
}

QTextBrowser* HelpWindow::browser() const
{
    return m_browser;
}

QString HelpWindow::resourcePath(const QString& topic)
{
    initHelpResources();
    QString name = topic.trimmed();
    if (name.startsWith(QLatin1String("::/")))
        name = name.mid(3);
    // Only a page name: a path could reach resources outside the help.
    if (!name.endsWith(QLatin1String(".htm"), Qt::CaseInsensitive) || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char('\\')))
        return QString();
    const QString exact = helpFolder + QLatin1Char('/') + name;
    if (QFileInfo(exact).isFile())
        return exact;
    for (const QString& page : topics()) {
        if (page.compare(name, Qt::CaseInsensitive) == 0)
            return helpFolder + QLatin1Char('/') + page;
    }
    return QString();
}

QStringList HelpWindow::topics()
{
    initHelpResources();
    return QDir(helpFolder).entryList({ QStringLiteral("*.htm") }, QDir::Files, QDir::Name);
}

void HelpWindow::createWindow()
{
    m_window = new QWidget(nullptr, Qt::Window);
    m_window->setObjectName(QStringLiteral("HelpWindow"));
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    // Help left open must not keep the program alive after the main window is closed.
    m_window->setAttribute(Qt::WA_QuitOnClose, false);
    m_window->resize(640, 520);

    m_browser = new QTextBrowser(m_window);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(false);

    auto* back = new QPushButton(QStringLiteral("Back"), m_window);
    back->setObjectName(QStringLiteral("btnback"));
    back->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("Close"), m_window);
    close->setObjectName(QStringLiteral("btnclose"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(m_window);
    layout->addWidget(m_browser);
    layout->addLayout(buttons);

    QObject::connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    QObject::connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    QObject::connect(close, &QPushButton::clicked, m_window, &QWidget::close);
    QWidget* window = m_window;
    QTextBrowser* browser = m_browser;
    QObject::connect(m_browser, &QTextBrowser::sourceChanged, window, [window, browser](const QUrl& url) {
        const QString title = browser->documentTitle();
        window->setWindowTitle(
            QStringLiteral("Help - ") + (title.isEmpty() ? QFileInfo(url.path()).fileName() : title));
    });
}

void HelpWindow::showTopic(const QString& topic)
{
    if (!m_window)
        createWindow();
    const QString path = resourcePath(topic);
    if (path.isEmpty()) {
        m_browser->setHtml(notFoundPage(topic));
        m_window->setWindowTitle(QStringLiteral("Help - ") + topic);
    } else {
        m_browser->setSource(QUrl(QStringLiteral("qrc") + path));
    }
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    // stands above the window it was asked from, also one kept above all others (the back office)
    QWidget* from = QApplication::activeWindow();
    if (from && from != m_window && from->windowHandle()) {
        m_window->winId();
        m_window->windowHandle()->setTransientParent(from->windowHandle());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}
