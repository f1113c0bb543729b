#pragma once

#include "bills/old_bill.h"
#include "bills/paymentdetails.h"
#include "sales/muenupos.h"
#include "sales/salesorderdetails.h"

#include <QString>
#include <QWidget>

class TDm;
class Tfmlogin;
class Tdbform;
class Tfrmselectpos;
class Tfrmadminoptions;
class Tfmorderitem;
class Tfrmmenu;
class TFrmBackOffice;
class TFitemdetails;
class TFpurchase;
class Tfmview_stock;
class Tfmcomment;
class Tfrmaducashier;
class Tfmcustdetails;
class Tfmhomedelivery;
class Tfmviewdetails;
class TfrmAdminCreate;

// The program's screens, one of each, created once at start-up in a fixed order and kept for the
// whole run. Screens reach each other through here.
struct Roster {
    TDm* Dm = nullptr;
    Tfmlogin* fmlogin = nullptr;
    Tdbform* dbform = nullptr;
    Tfmorderitem* fmorderitem = nullptr;
    Tfmsalesorderdtls* fmsalesorderdtls = nullptr;
    Tfmcustdetails* fmcustdetails = nullptr;
    Tfmhomedelivery* fmhomedelivery = nullptr;
    Tfmviewdetails* fmviewdetails = nullptr;
    Tfmpaymentdetails* fmpaymentdetails = nullptr;
    Tfrmselectpos* frmselectpos = nullptr;
    Tfrmmenu* frmmenu = nullptr;
    Tfrmmenupos* frmmenupos = nullptr;
    Tfrmadminoptions* frmadminoptions = nullptr;
    TFrmBackOffice* FrmBackOffice = nullptr;
    TFitemdetails* Fitemdetails = nullptr;
    TFpurchase* Fpurchase = nullptr;
    Tfmview_stock* fmview_stock = nullptr;
    Tfmcomment* fmcomment = nullptr;
    TfrmAdminCreate* frmAdminCreate = nullptr;
    Tfrmaducashier* frmaducashier = nullptr;
    Told_bill* old_bill = nullptr;

    // Creates the data module and every screen, in order. Errors propagate to the caller.
    void create();
    // Releases the screens and the data module.
    void destroy();
};

Roster& roster();

// Sets a named label's text on a screen, when the screen has such a label.
void SetScreenLabel(QWidget* screen, const QString& labelName, const QString& text);
QString ScreenLabel(QWidget* screen, const QString& labelName);
// Sets a named label's or text field's text on a screen.
void SetScreenText(QWidget* screen, const QString& name, const QString& text);

// Places a counter screen in the POS menu's work area (Tfrmmenupos::Fixposition).
void Fixposition(QWidget* screen);
