#include "app/U_No2ndInstance.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray raiseRequest = QByteArrayLiteral("raise\n");

// How long a refused copy keeps trying to reach the running one; the running copy takes the
// lock a moment before it listens.
constexpr int connectPatienceMs = 1500;

// The fallback lies in the shared temporary folder: it must be ours and closed to other users,
// or somebody else could plant the lock or the socket.
bool makePrivateFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QByteArray path = QFile::encodeName(folder);
    struct stat info;
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
        return false;
    return (info.st_mode & 0077) == 0 || ::chmod(path.constData(), 0700) == 0;
}

QString fallbackFolder()
{
    return QDir::tempPath() + QStringLiteral("/Point_of_Sales-%1").arg(::getuid());
}

bool isOrdinaryWindow(const QWidget* w)
{
    if (!w || !w->isWindow() || !w->isVisible())
        return false;
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder.isEmpty() ? defaultFolder() : folder)
{
}

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::defaultFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return runtime;
    return fallbackFolder();
}

QString SingleInstance::lockPath(int slot) const
{
    const QString name = slot == 0 ? serverName() : serverName() + QLatin1Char('.') + QString::number(slot + 1);
    return m_folder + QLatin1Char('/') + name + QStringLiteral(".lock");
}

QString SingleInstance::socketPath(int slot) const
{
    const QString name = slot == 0 ? serverName() : serverName() + QLatin1Char('.') + QString::number(slot + 1);
    return m_folder + QLatin1Char('/') + name;
}

SingleInstance::LockResult SingleInstance::tryLock(int slot)
{
    const QByteArray path = QFile::encodeName(lockPath(slot));
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        qWarning("Single instance: cannot open %s: %s", path.constData(), std::strerror(errno));
        return LockResult::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return LockResult::Busy;
        qWarning("Single instance: cannot lock %s: %s", path.constData(), std::strerror(error));
        return LockResult::Failed;
    }
    // The process id is only for people looking at the file.
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) == 0 && ::write(fd, pid.constData(), size_t(pid.size())) != pid.size())
        qWarning("Single instance: cannot note the process id in %s", path.constData());
    m_lockFd = fd;
    return LockResult::Acquired;
}

bool SingleInstance::isSecondInstance(QWidget* window, int permitted)
{
    if (m_lockFd >= 0)
        return false;
    if (window)
        m_window = window;
    permitted = qMax(1, permitted);

    if (!QDir().mkpath(m_folder) || !QFileInfo(m_folder).isWritable()) {
        if (m_folder == fallbackFolder() || !makePrivateFolder(fallbackFolder())) {
            // Without a place for the lock nothing can be decided; refusing would shut the user
            // out of the program for good, so this copy runs.
            qWarning("Single instance: no folder for the lock, starting anyway");
            return false;
        }
        m_folder = fallbackFolder();
    }
    for (int slot = 0; slot < permitted; ++slot) {
        switch (tryLock(slot)) {
        case LockResult::Acquired:
            listen(slot);
            return false;
        case LockResult::Failed:
            qWarning("Single instance: the check is not possible, starting anyway");
            return false;
        case LockResult::Busy:
            break;
        }
    }
    askRunningCopy();
    return true;
}

void SingleInstance::listen(int slot)
{
    m_slot = slot;
    // Without the application object there is no event loop to serve requests yet; the window,
    // which needs the application object, starts the listening.
    if (!QCoreApplication::instance())
        return;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Whoever holds the lock owns the name; a socket file left behind by a copy that died is stale.
    QLocalServer::removeServer(socketPath(slot));
    if (!m_server->listen(socketPath(slot))) {
        qWarning("Single instance: cannot listen on %s: %s", qPrintable(socketPath(slot)),
            qPrintable(m_server->errorString()));
        delete m_server;
        m_server = nullptr;
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

void SingleInstance::askRunningCopy()
{
    QLocalSocket socket;
    const QDeadlineTimer deadline(connectPatienceMs);
    for (;;) {
        socket.connectToServer(socketPath(0));
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        socket.abort();
        if (deadline.hasExpired())
            return;
        QThread::msleep(50);
    }
    socket.write(raiseRequest);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > raiseRequest.size())
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(raiseRequest.size() + 1);
            socket->disconnectFromServer();
            if (line == raiseRequest)
                bringForward();
        });
        // A peer that connects and says nothing is not kept around.
        QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
    }
}

void SingleInstance::setWindow(QWidget* window)
{
    m_window = window;
    if (m_lockFd >= 0 && !m_server && QCoreApplication::instance())
        listen(m_slot);
    if (m_raisePending && window)
        bringForward();
}

void SingleInstance::bringForward()
{
    // A modal dialog in front is what the user has to deal with first; a hidden main window
    // (another screen is in use) must not reappear, so then the visible screen comes forward.
    QWidget* target = QApplication::activeModalWidget();
    if (!isOrdinaryWindow(target))
        target = m_window && isOrdinaryWindow(m_window) ? m_window.data() : nullptr;
    if (!target && isOrdinaryWindow(QApplication::activeWindow()))
        target = QApplication::activeWindow();
    if (!target) {
        const auto widgets = QApplication::topLevelWidgets();
        for (QWidget* w : widgets) {
            if (isOrdinaryWindow(w)) {
                target = w;
                break;
            }
        }
    }
    if (!target) {
        m_raisePending = true;
        return;
    }
    m_raisePending = false;
    if (target->isMinimized())
        target->setWindowState(target->windowState() & ~Qt::WindowMinimized);
    target->show();
    target->raise();
    target->activateWindow();
    Q_EMIT activationRequested();
}

void SingleInstance::release()
{
    delete m_server; // closing removes the socket file
    m_server = nullptr;
    if (m_lockFd >= 0) {
        ::flock(m_lockFd, LOCK_UN);
        ::close(m_lockFd);
        m_lockFd = -1;
        m_slot = -1;
    }
}

namespace {

SingleInstance* processInstance = nullptr;

void releaseProcessInstance()
{
    delete processInstance;
    processInstance = nullptr;
}

} // namespace

SingleInstance& singleInstance()
{
    if (!processInstance) {
        processInstance = new SingleInstance;
        qAddPostRoutine(releaseProcessInstance);
    }
    return *processInstance;
}

bool IsSecondInstance(QWidget* window, int permitted)
{
    return singleInstance().isSecondInstance(window, permitted);
}
