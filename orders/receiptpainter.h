#pragma once

#include "orders/receiptlayout.h"

#include <QFont>

class QPainter;
class QPrinter;

// 宋体, or the CJK face the system has in its place.
QFont receiptFont(double pointSize);

// Draws the receipt's labels and lines (never its button) with the painter's
// unit taken as one twip.
void paintReceipt(QPainter &painter, const ReceiptLayout &layout);

// One page per copy chosen, each with the receipt at the top left of the
// page's printable area, at its size in millimetres. The printer's own copy
// count is set to 1 meanwhile, so that the print system does not multiply
// the pages again. False when the printer could not be started.
bool printReceiptPages(QPrinter *printer, const ReceiptLayout &layout);
