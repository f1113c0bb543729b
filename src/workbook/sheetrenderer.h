#pragma once

#include <QString>

class QPagedPaintDevice;
class Worksheet;

// Paints a worksheet on a printer or PDF writer as a spreadsheet program prints it: its print
// area (else every used cell) at the page setup's paper, orientation, margins and scale, pages
// down then across; cell texts in their fonts and alignment (texts run on into empty
// neighbours), merged areas, fills, borders, column widths and row heights. Text is measured on
// the device itself, and set without ligatures so that the printed words stay searchable.
// A font the machine lacks prints in the workbook's standard font.
//
// Sets the device's page layout, then paints. Returns an empty text, or why nothing was printed.
QString renderWorksheet(const Worksheet& sheet, QPagedPaintDevice& device);
