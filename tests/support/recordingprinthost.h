#pragma once

#include "orders/printhost.h"

#include <QPageLayout>
#include <QPointF>
#include <QPrinter>
#include <QString>

// Stands for the preview and the printer dialog: cancels, or "chooses" the
// copies and prints to a PDF file. Records the page's printable origin in
// points, where the receipt's top left lands.
class RecordingPrintHost : public PrintHost
{
public:
    bool cancel = false;
    int copies = 1;
    QString pdfPath;
    int calls = 0;
    QPointF origin;

    bool print(QPrinter &printer, const Paint &paint, QWidget *) override
    {
        ++calls;
        if (cancel)
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdfPath);
        printer.setCopyCount(copies);
        origin = printer.pageLayout().paintRect(QPageLayout::Point).topLeft();
        return paint(&printer);
    }
};
