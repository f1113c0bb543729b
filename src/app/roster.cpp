#include "app/roster.h"

#include "admin/aducashier.h"
#include "backoffice/menuback.h"
#include "backoffice/unitcomment.h"
#include "backoffice/unithome.h"
#include "backoffice/unititemdetails.h"
#include "backoffice/unitpurchase.h"
#include "backoffice/unitview_stock.h"
#include "bills/custdetails.h"
#include "bills/customerhistory.h"
#include "bills/homedelivery.h"
#include "bills/viewbilldetails.h"
#include "db/datamodulepos.h"
#include "db/dbform.h"
#include "login/adminoption.h"
#include "login/poslogin.h"
#include "login/selectpos.h"
#include "sales/posorderitem.h"

#include <QLabel>
#include <QLineEdit>

Roster& roster()
{
    static Roster r;
    return r;
}

void Fixposition(QWidget* screen)
{
    if (Tfrmmenupos* menu = roster().frmmenupos) {
        menu->Fixposition(screen);
        return;
    }
    screen->setWindowFlag(Qt::FramelessWindowHint, true);
    screen->move(220, 30);
}

void Roster::create()
{
    Dm = new TDm();
    fmlogin = new Tfmlogin();
    dbform = new Tdbform();
    fmorderitem = new Tfmorderitem();
    fmsalesorderdtls = new Tfmsalesorderdtls();
    fmcustdetails = new Tfmcustdetails();
    fmhomedelivery = new Tfmhomedelivery();
    fmviewdetails = new Tfmviewdetails();
    fmpaymentdetails = new Tfmpaymentdetails();
    frmselectpos = new Tfrmselectpos();
    frmmenu = new Tfrmmenu();
    frmmenupos = new Tfrmmenupos();
    frmadminoptions = new Tfrmadminoptions();
    FrmBackOffice = new TFrmBackOffice();
    Fitemdetails = new TFitemdetails();
    Fpurchase = new TFpurchase();
    fmview_stock = new Tfmview_stock();
    fmcomment = new Tfmcomment();
    frmAdminCreate = new TfrmAdminCreate();
    frmaducashier = new Tfrmaducashier();
    old_bill = new Told_bill();
}

void Roster::destroy()
{
    // later screens may refer to earlier ones while they go: release in reverse order
    QWidget* screens[] = { old_bill, frmaducashier, frmAdminCreate, fmcomment, fmview_stock, Fpurchase, Fitemdetails,
        FrmBackOffice, frmadminoptions, frmmenupos, frmmenu, frmselectpos, fmpaymentdetails, fmviewdetails,
        fmhomedelivery, fmcustdetails, fmsalesorderdtls, fmorderitem, dbform, fmlogin };
    for (QWidget* w : screens)
        delete w;
    delete Dm;
    *this = Roster();
}

void SetScreenLabel(QWidget* screen, const QString& labelName, const QString& text)
{
    if (auto* l = screen->findChild<QLabel*>(labelName))
        l->setText(text);
}

void SetScreenText(QWidget* screen, const QString& name, const QString& text)
{
    if (auto* e = screen->findChild<QLineEdit*>(name))
        e->setText(text);
    else
        SetScreenLabel(screen, name, text);
}

QString ScreenLabel(QWidget* screen, const QString& labelName)
{
    auto* l = screen->findChild<QLabel*>(labelName);
    return l ? l->text() : QString();
}
