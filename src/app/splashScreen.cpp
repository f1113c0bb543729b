#include "app/splashScreen.h"

#include "platform/services.h"
#include "ui_splashScreen.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int animationMs = 250;
// Four columns per tick at this pace looks like the original strip on a 15 ms system timer
// and keeps the processor idle.
constexpr int tickMs = 15;
constexpr int columnsPerTick = 4;

QPixmap makeStrip(const QSize& size)
{
    QPixmap strip(size);
    strip.fill(QColor(0x12, 0x40, 0x6e));
    QPainter p(&strip);
    const int glow = size.width() / 4;
    QLinearGradient g(0, 0, glow, 0);
    g.setColorAt(0.0, QColor(0x12, 0x40, 0x6e));
    g.setColorAt(0.5, QColor(0xd8, 0xf0, 0xff));
    g.setColorAt(1.0, QColor(0x12, 0x40, 0x6e));
    p.fillRect(QRect(0, 0, glow, size.height()), g);
    return strip;
}

// A till with a receipt coming out of it.
QPixmap makePicture(const QSize& size)
{
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();

    // receipt
    const QRectF receipt(w * 0.30, h * 0.02, w * 0.40, h * 0.42);
    p.setPen(QPen(QColor(0x90, 0x90, 0x90), 1));
    p.setBrush(Qt::white);
    p.drawRect(receipt);
    p.setPen(QPen(QColor(0xa0, 0xa0, 0xa0), 2));
    for (int i = 1; i <= 5; ++i) {
        const qreal y = receipt.top() + i * receipt.height() / 7;
        p.drawLine(QPointF(receipt.left() + 8, y), QPointF(receipt.right() - (i % 2 ? 8 : 24), y));
    }

    // body
    QPainterPath body;
    body.addRoundedRect(QRectF(w * 0.06, h * 0.36, w * 0.88, h * 0.60), 14, 14);
    QLinearGradient metal(0, h * 0.36, 0, h * 0.96);
    metal.setColorAt(0.0, QColor(0xe8, 0xec, 0xf0));
    metal.setColorAt(1.0, QColor(0x9a, 0xa6, 0xb2));
    p.setPen(QPen(QColor(0x40, 0x48, 0x50), 2));
    p.setBrush(metal);
    p.drawPath(body);

    // display
    const QRectF display(w * 0.14, h * 0.42, w * 0.72, h * 0.14);
    p.setBrush(QColor(0x10, 0x30, 0x20));
    p.drawRoundedRect(display, 4, 4);
    p.setPen(QColor(0x60, 0xff, 0x90));
    QFont font = p.font();
    font.setPixelSize(int(display.height() * 0.6));
    font.setBold(true);
    p.setFont(font);
    p.drawText(display.adjusted(0, 0, -8, 0), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("0.00"));

    // keys
    p.setPen(QPen(QColor(0x30, 0x38, 0x40), 1));
    const qreal keyW = w * 0.72 / 4;
    const qreal keyH = h * 0.30 / 3;
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            const QRectF key(w * 0.14 + col * keyW + 3, h * 0.60 + row * keyH + 3, keyW - 6, keyH - 6);
            p.setBrush(col == 3 ? QColor(0xe0, 0x8a, 0x20) : QColor(0xfa, 0xfa, 0xfa));
            p.drawRoundedRect(key, 3, 3);
        }
    }
    return picture;
}

} // namespace

Tfrm_splash::Tfrm_splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , ui(new Ui::Tfrm_splash)
    , Time_splash(new QTimer(this))
{
    ui->setupUi(this);
    setAttribute(Qt::WA_QuitOnClose, false);
    ui->image_picture->setPixmap(makePicture(ui->image_picture->size()));
    m_progress = makeStrip(ui->image_progres->size());
    ui->image_progres->setPixmap(m_progress);

    setGeometry(centredGeometry());

    Time_splash->setObjectName(QStringLiteral("Time_splash"));
    Time_splash->setInterval(tickMs);
    connect(Time_splash, &QTimer::timeout, this, &Tfrm_splash::advanceProgress);
}

Tfrm_splash::~Tfrm_splash()
{
    restoreCursor();
    delete ui;
}

QPixmap Tfrm_splash::rotateLeft(const QPixmap& picture, int columns)
{
    const int width = picture.width();
    if (width == 0)
        return picture;
    columns = ((columns % width) + width) % width;
    if (columns == 0)
        return picture;
    QPixmap turned(picture.size());
    turned.fill(Qt::transparent);
    QPainter p(&turned);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawPixmap(0, 0, picture, columns, 0, width - columns, picture.height());
    p.drawPixmap(width - columns, 0, picture, 0, 0, columns, picture.height());
    return turned;
}

void Tfrm_splash::advanceProgress()
{
    m_progress = rotateLeft(m_progress, columnsPerTick);
    ui->image_progres->setPixmap(m_progress);
}

QRect Tfrm_splash::centredGeometry() const
{
    QRect r(QPoint(0, 0), size());
    if (const QScreen* s = QGuiApplication::primaryScreen())
        r.moveCenter(s->availableGeometry().center());
    return r;
}

void Tfrm_splash::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_cursorSet) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
        m_cursorSet = true;
    }
    Time_splash->start();
    raise();
    if (!m_fadeIn) {
        m_fadeIn = new QPropertyAnimation(this, "windowOpacity", this);
        m_fadeIn->setDuration(animationMs);
        m_fadeIn->setStartValue(0.0);
        m_fadeIn->setEndValue(1.0);
        m_fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

void Tfrm_splash::hideEvent(QHideEvent* event)
{
    Time_splash->stop();
    restoreCursor();
    QWidget::hideEvent(event);
}

void Tfrm_splash::closeEvent(QCloseEvent* event)
{
    restoreCursor();
    QWidget::closeEvent(event);
}

void Tfrm_splash::restoreCursor()
{
    if (m_cursorSet) {
        QApplication::restoreOverrideCursor();
        m_cursorSet = false;
    }
}

void Tfrm_splash::closeAnimated()
{
    if (m_closing)
        return;
    m_closing = true;
    restoreCursor();
    if (m_fadeIn)
        m_fadeIn->stop();
    if (isVisible()) {
        QEventLoop loop;
        QPropertyAnimation fade(this, "windowOpacity");
        fade.setDuration(animationMs);
        fade.setStartValue(windowOpacity());
        fade.setEndValue(0.0);
        connect(&fade, &QPropertyAnimation::finished, &loop, &QEventLoop::quit);
        fade.start();
        // Input is kept out so that no other screen's handler runs while the window fades.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    close();
    m_closing = false;
}

void HoldSplash(int seconds)
{
    QPointer<Tfrm_splash> splash = new Tfrm_splash;
    splash->show();
    splash->raise();
    // Wakes the wait up even when nothing else happens, so that it sleeps between readings.
    QTimer wake;
    wake.start(tickMs);
    const QDateTime start = services().clock().now();
    // Whole seconds of the clock, either way: a clock set back must not hold the splash forever.
    while (qAbs(start.secsTo(services().clock().now())) < seconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    wake.stop();
    if (splash) {
        splash->closeAnimated();
        delete splash;
    }
}
