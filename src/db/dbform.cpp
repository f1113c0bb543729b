#include "db/dbform.h"

#include "db/dbformpas.h"
#include "platform/keyfilter.h"
#include "platform/services.h"
#include "ui_dbform.h"

#include <QApplication>
#include <QRegularExpressionValidator>

Tdbform::Tdbform(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Tdbform>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("Tdbform"));
    // four octets of 0-255
    const QString octet = QStringLiteral("(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)");
    ui->edt_server->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^(%1(\\.%1(\\.%1(\\.%1)?)?)?)?$").arg(octet)), ui->edt_server));
    const auto portKey = [](const QString&, QChar key) { return PortKeyAllowed(key); };
    KeyFilter::holdOnly(ui->edt_port, KeyFilter::typed(portKey));
    KeyFilter::install(ui->edt_port, portKey, [this] {
        if (PortTooLarge(ui->edt_port->text()))
            ui->edt_port->clear();
    });
    connect(ui->btn_connect, &QPushButton::clicked, this, &Tdbform::btn_connectClick);
}

Tdbform::~Tdbform() = default;

QString Tdbform::serverText() const
{
    const QStringList parts = ui->edt_server->text().split(QLatin1Char('.'));
    if (ui->edt_server->text().trimmed().isEmpty())
        return QStringLiteral("0.0.0.0");
    QStringList octets;
    for (int i = 0; i < 4; ++i)
        octets << QString::number(i < parts.size() ? parts.at(i).toInt() : 0);
    return octets.join(QLatin1Char('.'));
}

void Tdbform::btn_connectClick()
{
    const ConnectionSettings settings { ui->edt_user->text(), ui->edt_pwd->text(), serverText(), ui->edt_port->text(),
        ui->edt_servers->toPlainText() };
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString refusal;
    const ConnectOutcome outcome = TryAndStoreConnection(settings, &refusal);
    QApplication::restoreOverrideCursor();
    switch (outcome) {
    case ConnectOutcome::Incomplete:
        return;
    case ConnectOutcome::BadServerList:
        ShowMsg(refusal, QString(), 0);
        ui->edt_servers->setFocus();
        return;
    case ConnectOutcome::Failed:
        ShowMsg(QStringLiteral("Connection failed"), QString(), 1);
        ui->edt_user->clear();
        ui->edt_pwd->clear();
        ui->edt_server->clear();
        ui->edt_port->clear();
        return;
    case ConnectOutcome::Connected:
        ShowMsg(QStringLiteral("Connection Successful"), QString(), 0);
        close();
        return;
    }
}
