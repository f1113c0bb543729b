#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QLocalServer;

// One running copy per user session. Each running copy holds an exclusive lock on a file in the
// user's runtime folder; the kernel drops the lock when the process ends in any way, so a copy
// that crashed never keeps the program from starting again. The running copy also listens on a
// local socket named "Point_of_Sales" next to the lock, through which a refused copy asks it to
// come to the front.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    // folder: where the lock and the socket live; empty means the user's runtime folder, or the
    // temporary folder when there is none.
    explicit SingleInstance(const QString& folder = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Returns true when this copy must stop: `permitted` copies already run. The running copy
    // that was asked is brought to the front; this copy shows nothing. Without the application
    // object, other copies can reach this one only once setWindow was called.
    bool isSecondInstance(QWidget* window, int permitted = 1);

    // The window to bring forward when another copy starts; may be set after the check, because
    // the main window is created later. A request that came in before there was a window is
    // served when the window is set.
    void setWindow(QWidget* window);
    QWidget* window() const { return m_window; }

    bool isRunningCopy() const { return m_lockFd >= 0; }
    QString folder() const { return m_folder; }

    static QString defaultFolder();
    static QString serverName() { return QStringLiteral("Point_of_Sales"); }

Q_SIGNALS:
    // Another copy asked this one to come forward (emitted after the window was brought forward).
    void activationRequested();

private:
    QString lockPath(int slot) const;
    QString socketPath(int slot) const;
    enum class LockResult { Acquired, Busy, Failed };
    LockResult tryLock(int slot);
    void listen(int slot);
    void askRunningCopy();
    void onNewConnection();
    void bringForward();
    void release();

    QString m_folder;
    QPointer<QWidget> m_window;
    QLocalServer* m_server = nullptr;
    int m_lockFd = -1;
    int m_slot = -1;
    bool m_raisePending = false;
};

// The process-wide check used at program start. The object lives until the application object
// is destroyed, which releases the lock and removes the socket.
SingleInstance& singleInstance();
bool IsSecondInstance(QWidget* window, int permitted = 1);
