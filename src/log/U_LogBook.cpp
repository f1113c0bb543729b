#include "log/U_LogBook.h"

#include "config/U_SettingTypes.h"
#include "config/formatsettings.h"
#include "db/datamodulepos.h"
#include "platform/services.h"

#include <QDir>
#include <QRegularExpression>

namespace {

TLogBook* g_logBook = nullptr;

// The text with each line break (CR LF counted once) written as " | ".
QString oneLine(const QString& text)
{
    static const QRegularExpression lineBreak(QStringLiteral("\\r\\n|[\\n\\r\\v\\f\\x{85}\\x{2028}\\x{2029}]"));
    if (!text.contains(lineBreak))
        return text;
    return QString(text).replace(lineBreak, QStringLiteral(" | "));
}

} // namespace

TLogBook::TLogBook(Notify owner)
    : m_owner(std::move(owner))
    , m_logPath(std::make_unique<TStringSetting>(
          QStringLiteral("LogPath"), QStringLiteral(".\\LogFiles"), QString(), QStringLiteral("Log folder name")))
    , m_daysToKeep(std::make_unique<TIntSetting>(
          QStringLiteral("DaysToKeep"), 62, QString(), QStringLiteral("No. of days to keep")))
    , m_maxLines(std::make_unique<TIntSetting>(
          QStringLiteral("MaxLines"), 1024, QString(), QStringLiteral("No of lines onscreen")))
    , m_showLevel(std::make_unique<TIntSetting>(
          QStringLiteral("ShowLevel"), 1, QString(), QStringLiteral("level of Visibility")))
{
    m_daysToKeep->setRange(0, 1096);
    m_maxLines->setRange(256, 8192);
    m_showLevel->setMinimum(0);
}

TLogBook::~TLogBook()
{
    if (g_logBook == this)
        g_logBook = nullptr;
    // Every line is flushed as it is written; closing adds nothing to the file (blank lines at
    // each exit would only pile up in the day's file).
    if (m_file.isOpen()) {
        m_stream.setDevice(nullptr);
        m_file.close();
    }
}

QString TLogBook::folder() const
{
    // The folder is written the Windows way (".\LogFiles"); either separator is accepted here.
    // A relative folder lies below the current folder; an installed program (started from the
    // desktop menu in whatever folder) keeps it below the user's data folder instead.
    QString path = m_logPath->valueText();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QDir base = ProgramFolderTakesFiles() ? QDir::current() : QDir(services().paths().dataFolder());
    path = QDir::cleanPath(base.absoluteFilePath(path));
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return QDir::toNativeSeparators(path);
}

void TLogBook::openFile(const QDate& day)
{
    m_fileDate = day;
    if (m_file.isOpen()) {
        m_stream.setDevice(nullptr);
        m_file.close();
    }
    const QString dir = folder();
    m_fileName = dir + QStringLiteral("Log") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".txt");
    m_file.setFileName(m_fileName);
    // What the users did is for this user's eyes only: a new file is made private, and one
    // left readable by others is made private before anything more is written to it.
    const QFileDevice::Permissions privateMode = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const bool opened
        = QDir().mkpath(dir) && m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text, privateMode);
    if (!opened) {
        if (m_owner)
            m_owner(4, QStringLiteral("Impossible to create Logfile \"") + m_fileName + QLatin1Char('"'));
        return;
    }
    m_file.setPermissions(privateMode);
    m_stream.setDevice(&m_file);
    m_stream << Qt::endl;
}

void TLogBook::write(const QString& text, int level)
{
    const QDateTime now = services().clock().now();
    const QString line = dateTimeToStr(now) + QString(qMax(0, 4 * level + 1), QLatin1Char(' ')) + oneLine(text);

    if (now.date() != m_fileDate)
        openFile(now.date());
    if (m_file.isOpen()) {
        // Flushed line by line, so the file is complete even if the program is killed.
        m_stream << line << Qt::endl;
        m_file.flush();
    }

    if (level <= m_showLevel->value()) {
        const int maxLines = qMax(1, m_maxLines->value());
        while (m_lines.size() >= maxLines)
            m_lines.removeFirst();
        m_lines.append(line);
    }

    if (m_owner)
        m_owner(1, QString());
}

void TLogBook::add(const QString& text)
{
    write(text, m_plainLevel);
}

void TLogBook::openToday()
{
    const QDate today = services().clock().today();
    if (today != m_fileDate)
        openFile(today);
}

QStringList TLogBook::lines() const
{
    return m_lines;
}

TLogBook* logBook()
{
    return g_logBook;
}

void setLogBook(TLogBook* book)
{
    g_logBook = book;
}

void LogWrite(const QString& text, int level)
{
    if (g_logBook)
        g_logBook->write(text, level);
}

void LogAdd(const QString& text)
{
    if (g_logBook)
        g_logBook->add(text);
}

void LogWriteAfterCommit(TConnection& connection, const QString& text, int level)
{
    connection.afterCommit([text, level] { LogWrite(text, level); });
}
