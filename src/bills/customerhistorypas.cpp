#include "bills/customerhistorypas.h"

#include "bills/custdetailspas.h"
#include "db/datamodulepos.h"
#include "platform/latin1.h"

TQuery& CustomerBills(TDm& dm, const QString& name)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select CONCAT(CAST(pcid AS CHAR), \"/\", CAST(billno AS CHAR)) AS  Billno,DATE_FORMAT(sdate, "
             "\"%d-%m-%Y\")  as Date,customer_name as Name from sales_order,customer_details where customer_name=")
        + q.quote(name.left(kCustomerNameWidth))
        + S(" and customer_details.customerid=sales_order.customerid order by sales_order.sdate,pcid,billno"));
    return q;
}

bool IsBillOnHold(TDm& dm, const BillKey& bill)
{
    TQuery& q = dm.MyQCustdetails;
    q.exec(S("select payment_status from sales_order where billno=") + q.quote(bill.billNo) + S(" and pcid=")
        + q.quote(bill.terminalId));
    return q.text(S("payment_status")) == QLatin1String("Hold");
}
