#pragma once

#include <functional>

class QPrinter;
class QWidget;

// Where a receipt goes to paper: the print preview, whose print button opens
// the printer dialog (printer, copies). Tests put one in that picks the
// copies, cancels, or prints to a PDF file, so no test blocks on a dialog.
class PrintHost
{
public:
    // Draws the pages on the printer it is given: the preview's, then the real one.
    using Paint = std::function<bool(QPrinter *printer)>;

    virtual ~PrintHost() = default;
    // True once printed; false when the agent cancelled, and nothing was printed.
    virtual bool print(QPrinter &printer, const Paint &paint, QWidget *parent) = 0;
};

// QPrintPreviewDialog, and through it QPrintDialog.
class DialogPrintHost : public PrintHost
{
public:
    bool print(QPrinter &printer, const Paint &paint, QWidget *parent) override;
};
