#pragma once

class TDm;
struct BillOnScreen;

// "PRINT BILL": the splash for a second, then the bill's workbook filled from the bill template,
// saved as company + bill number + ".xls" and printed on the default printer (or written as a
// PDF beside the workbook when there is none, which a message says). True when the bill went to
// the printer or the PDF; otherwise the reason has been shown (as an error) and the caller
// stays where it is, so the cashier can print again.
bool PrintBill(TDm& dm, const BillOnScreen& shown);

// A print in progress, for as long as the object lives. The print's splash lets window events
// run for a second, so "PRINT BILL" can be pressed (or Ctrl+P typed) again inside it: a press
// that finds a print in progress is ignored (isFirst() false), so that no bill prints twice and
// the steps after a print run once.
class PrintInProgress {
public:
    PrintInProgress();
    ~PrintInProgress();
    PrintInProgress(const PrintInProgress&) = delete;
    PrintInProgress& operator=(const PrintInProgress&) = delete;
    bool isFirst() const { return m_first; }

private:
    bool m_first;
};
