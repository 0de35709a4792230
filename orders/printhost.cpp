#include "orders/printhost.h"

#include <QPrintPreviewDialog>
#include <QPrinter>

bool DialogPrintHost::print(QPrinter &printer, const Paint &paint, QWidget *parent)
{
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(parent ? parent->windowTitle() : QString());
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&paint](QPrinter *p) { paint(p); });
    // Its print button shows the printer dialog; cancelling there keeps the
    // preview open, closing the preview prints nothing.
    return preview.exec() == QDialog::Accepted;
}
