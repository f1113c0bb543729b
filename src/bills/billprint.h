#pragma once

class TDm;
struct BillOnScreen;

// "PRINT BILL": the splash for a second, then the bill's workbook filled from the bill template,
// saved as company + bill number + ".xls" and printed on the default printer (or written as a
// PDF beside the workbook when there is none, which a message says). True when the bill went to
// the printer or the PDF; otherwise the reason has been shown (as an error) and the caller
// stays where it is, so the cashier can print again.
bool PrintBill(TDm& dm, const BillOnScreen& shown);
