#include "workbook/sheetrenderer.h"

#include "workbook/workbook.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHash>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QPageSize pageSizeOf(int paperSize)
{
    switch (paperSize) {
    case 1:
        return QPageSize(QPageSize::Letter);
    case 5:
        return QPageSize(QPageSize::Legal);
    case 8:
        return QPageSize(QPageSize::A3);
    case 11:
        return QPageSize(QPageSize::A5);
    case 13:
        return QPageSize(QPageSize::B5);
    default:
        return QPageSize(QPageSize::A4);
    }
}

QColor color(quint32 argb)
{
    return QColor::fromRgb(argb & 0xffffffu);
}

struct Band {
    int first;
    int last;
};

// Splits sizes (points, already scaled) into runs that fit `room`; each run holds one item at least.
std::vector<Band> bands(int first, const std::vector<double>& sizes, double room)
{
    std::vector<Band> out;
    double used = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const int index = first + static_cast<int>(i);
        if (out.empty() || (used + sizes[i] > room + 0.01 && used > 0)) {
            out.push_back({ index, index });
            used = sizes[i];
        } else {
            out.back().last = index;
            used += sizes[i];
        }
    }
    return out;
}

class Renderer {
public:
    Renderer(const Worksheet& sheet, QPagedPaintDevice& device)
        : m_sheet(sheet)
        , m_device(device)
    {
    }

    QString run();

private:
    QFont fontFor(const CellFormat& f) const;
    QString family(const QString& wanted) const;
    double columnPoints(int col, double digitPx) const;
    double autoRowHeight(int row) const;
    void paintPage(QPainter& p, const Band& cols, const Band& rows);
    void paintFills(QPainter& p, const Band& cols, const Band& rows);
    void paintGrid(QPainter& p, const Band& cols, const Band& rows);
    void paintTexts(QPainter& p, const Band& cols, const Band& rows);
    void paintBorders(QPainter& p, const Band& cols, const Band& rows);
    QRectF cellRect(int top, int left, int bottom, int right, const Band& cols, const Band& rows) const;
    bool isEmptyCell(int row, int col) const;
    QPen borderPen(const BorderLine& line) const;

    const Worksheet& m_sheet;
    QPagedPaintDevice& m_device;
    CellRect m_area;
    std::vector<double> m_colX; // left edge of each column of the area, points before scaling
    std::vector<double> m_rowY;
    double m_scale = 1;
    double m_px = 1; // device pixels per point
    double m_offsetX = 0; // points, for centring
    mutable QHash<QString, QString> m_families;
};

QString Renderer::family(const QString& wanted) const
{
    auto it = m_families.constFind(wanted);
    if (it != m_families.constEnd())
        return *it;
    QString use = wanted;
    if (wanted.isEmpty() || !QFontDatabase::hasFamily(wanted)) {
        const QString standard = m_sheet.standardFormat().fontName;
        use = !standard.isEmpty() && QFontDatabase::hasFamily(standard)
            ? standard
            : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }
    m_families.insert(wanted, use);
    return use;
}

QFont Renderer::fontFor(const CellFormat& f) const
{
    QFont font(family(f.fontName));
    font.setPointSizeF(std::max(1.0, f.fontSize) * m_scale);
    font.setBold(f.bold);
    font.setItalic(f.italic);
    font.setUnderline(f.underline);
    font.setStrikeOut(f.strikeOut);
    // no ligatures: "fi" stays two letters for whoever reads the text back
    font.setStyleStrategy(QFont::PreferNoShaping);
    // outlines as drawn, not fitted to a pixel grid: the same widths on every device, and quicker
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

double Renderer::columnPoints(int col, double digitPx) const
{
    if (m_sheet.isColumnHidden(col))
        return 0;
    // the spreadsheet rule: a width counts digits of the standard font at 96 pixels an inch
    const double w = m_sheet.columnWidth(col);
    const double px = std::floor((256.0 * w + std::floor(128.0 / digitPx)) / 256.0 * digitPx);
    return px * 72.0 / 96.0;
}

double Renderer::autoRowHeight(int row) const
{
    double size = m_sheet.format(m_sheet.styleIndex(row, 0)).fontSize;
    m_sheet.forEachCell(row, [&](int col) {
        if (!m_sheet.value(row, col).isEmpty())
            size = std::max(size, m_sheet.format(row, col).fontSize);
    });
    return std::max(m_sheet.defaultRowHeight(), std::ceil(size * 1.3 * 4) / 4);
}

QString Renderer::run()
{
    m_area = m_sheet.printArea().value_or(m_sheet.usedArea());
    if (!m_area.isValid())
        return QStringLiteral("The worksheet \"%1\" has nothing to print.").arg(m_sheet.name());

    const PageSetup setup = m_sheet.pageSetup();
    const QPageLayout layout(pageSizeOf(setup.paperSize),
        setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(setup.leftMargin * 72, setup.topMargin * 72, setup.rightMargin * 72, setup.bottomMargin * 72),
        QPageLayout::Point);
    if (!m_device.setPageLayout(layout)) {
        // a printer with wider unprintable edges: keep its own margins
        m_device.setPageSize(layout.pageSize());
        m_device.setPageOrientation(layout.orientation());
    }
    const int dpi = m_device.logicalDpiX();
    if (dpi <= 0)
        return QStringLiteral("The printer reports no resolution.");
    m_px = dpi / 72.0;
    const QRectF paint = m_device.pageLayout().paintRect(QPageLayout::Point);

    // the digit width of the standard font as the machine has it, in pixels at 96 an inch
    m_scale = 1;
    const QFontMetricsF standard(fontFor(m_sheet.standardFormat()), &m_device);
    double digit = 0;
    for (char c = '0'; c <= '9'; ++c)
        digit = std::max(digit, standard.horizontalAdvance(QLatin1Char(c)));
    const double digitPx = std::max(1.0, std::round(digit * 96.0 / dpi));

    std::vector<double> widths, heights;
    m_colX.assign(1, 0);
    for (int c = m_area.left; c <= m_area.right; ++c) {
        widths.push_back(columnPoints(c, digitPx));
        m_colX.push_back(m_colX.back() + widths.back());
    }
    m_rowY.assign(1, 0);
    for (int r = m_area.top; r <= m_area.bottom; ++r) {
        const double h = m_sheet.isRowHidden(r) ? 0 : m_sheet.rowHeight(r).value_or(autoRowHeight(r));
        heights.push_back(h);
        m_rowY.push_back(m_rowY.back() + h);
    }

    m_scale = setup.scale / 100.0;
    if (setup.fitToPage) {
        double fit = 1;
        if (setup.fitToWidth > 0 && m_colX.back() > 0)
            fit = std::min(fit, setup.fitToWidth * paint.width() / m_colX.back());
        if (setup.fitToHeight > 0 && m_rowY.back() > 0)
            fit = std::min(fit, setup.fitToHeight * paint.height() / m_rowY.back());
        m_scale = std::max(0.1, fit);
    }
    for (double& w : widths)
        w *= m_scale;
    for (double& h : heights)
        h *= m_scale;
    const std::vector<Band> colBands = bands(m_area.left, widths, paint.width());
    const std::vector<Band> rowBands = bands(m_area.top, heights, paint.height());

    QPainter p;
    if (!p.begin(&m_device))
        return QStringLiteral("The printer could not be started.");
    bool first = true;
    for (const Band& cols : colBands) {
        m_offsetX = setup.centerHorizontally
            ? std::max(0.0,
                (paint.width() - (m_colX[cols.last - m_area.left + 1] - m_colX[cols.first - m_area.left]) * m_scale)
                    / 2)
            : 0;
        for (const Band& rows : rowBands) {
            if (!first && !m_device.newPage()) {
                p.end();
                return QStringLiteral("The printer refused a new page.");
            }
            first = false;
            paintPage(p, cols, rows);
        }
    }
    if (!p.end())
        return QStringLiteral("The printout could not be finished.");
    return QString();
}

QRectF Renderer::cellRect(int top, int left, int bottom, int right, const Band& cols, const Band& rows) const
{
    const auto x = [&](int col) {
        return ((m_colX[col - m_area.left] - m_colX[cols.first - m_area.left]) * m_scale + m_offsetX) * m_px;
    };
    const auto y
        = [&](int row) { return (m_rowY[row - m_area.top] - m_rowY[rows.first - m_area.top]) * m_scale * m_px; };
    return QRectF(QPointF(x(left), y(top)), QPointF(x(right + 1), y(bottom + 1)));
}

bool Renderer::isEmptyCell(int row, int col) const
{
    return m_sheet.text(row, col).isEmpty() && !m_sheet.mergedAreaAt(row, col);
}

void Renderer::paintPage(QPainter& p, const Band& cols, const Band& rows)
{
    paintFills(p, cols, rows);
    if (m_sheet.pageSetup().gridLines)
        paintGrid(p, cols, rows);
    paintTexts(p, cols, rows);
    paintBorders(p, cols, rows);
}

void Renderer::paintFills(QPainter& p, const Band& cols, const Band& rows)
{
    for (int r = rows.first; r <= rows.last; ++r) {
        for (int c = cols.first; c <= cols.last; ++c) {
            // a merged area shows the format of its top-left cell
            const std::optional<CellRect> m = m_sheet.mergedAreaAt(r, c);
            const CellFormat& f = m ? m_sheet.format(m->top, m->left) : m_sheet.format(r, c);
            if (f.filled)
                p.fillRect(cellRect(r, c, r, c, cols, rows), color(f.fillColor));
        }
    }
}

void Renderer::paintGrid(QPainter& p, const Band& cols, const Band& rows)
{
    p.setPen(QPen(QColor(0xc0, 0xc0, 0xc0), 0.5 * m_px));
    const QRectF all = cellRect(rows.first, cols.first, rows.last, cols.last, cols, rows);
    for (int c = cols.first; c <= cols.last + 1; ++c) {
        const double x = c > cols.last ? all.right() : cellRect(rows.first, c, rows.first, c, cols, rows).left();
        p.drawLine(QPointF(x, all.top()), QPointF(x, all.bottom()));
    }
    for (int r = rows.first; r <= rows.last + 1; ++r) {
        const double y = r > rows.last ? all.bottom() : cellRect(r, cols.first, r, cols.first, cols, rows).top();
        p.drawLine(QPointF(all.left(), y), QPointF(all.right(), y));
    }
}

void Renderer::paintTexts(QPainter& p, const Band& cols, const Band& rows)
{
    const double pad = 1.5 * m_scale * m_px;
    for (int r = rows.first; r <= rows.last; ++r) {
        m_sheet.forEachCell(r, [&](int c) {
            if (c < cols.first || c > cols.last)
                return;
            const std::optional<CellRect> merged = m_sheet.mergedAreaAt(r, c);
            if (merged && (merged->top != r || merged->left != c))
                return;
            const QString text = m_sheet.text(r, c);
            if (text.isEmpty())
                return;
            const CellFormat& f = m_sheet.format(r, c);
            const QFont font = fontFor(f);
            const QFontMetricsF fm(font, &m_device);

            HAlign h = f.horizontal;
            if (h == HAlign::General) {
                const CellValue::Kind kind = m_sheet.value(r, c).kind;
                h = kind == CellValue::Kind::Number ? HAlign::Right
                    : kind == CellValue::Kind::Text ? HAlign::Left
                                                    : HAlign::Center;
            }
            QRectF box;
            if (merged) {
                box = cellRect(merged->top, merged->left, std::min(merged->bottom, rows.last),
                    std::min(merged->right, cols.last), cols, rows);
            } else {
                int left = c, right = c;
                box = cellRect(r, c, r, c, cols, rows);
                const double needed = fm.horizontalAdvance(text) + 2 * pad;
                // a text longer than its cell runs on into empty neighbours, as on screen
                if (!f.wrapText && needed > box.width()) {
                    const bool toRight = h == HAlign::Left || h == HAlign::Center || h == HAlign::CenterContinuous
                        || h == HAlign::Fill || h == HAlign::Justify || h == HAlign::Distributed;
                    const bool toLeft = h == HAlign::Right || h == HAlign::Center || h == HAlign::CenterContinuous;
                    bool grew = true;
                    while (box.width() < needed && grew) {
                        grew = false;
                        if (toRight && right < cols.last && isEmptyCell(r, right + 1)) {
                            ++right;
                            grew = true;
                        }
                        if (toLeft && left > cols.first && isEmptyCell(r, left - 1)) {
                            --left;
                            grew = true;
                        }
                        box = cellRect(r, left, r, right, cols, rows);
                    }
                }
            }
            int flags = f.wrapText ? Qt::TextWordWrap : Qt::TextSingleLine;
            switch (h) {
            case HAlign::Right:
                flags |= Qt::AlignRight;
                break;
            case HAlign::Center:
            case HAlign::CenterContinuous:
                flags |= Qt::AlignHCenter;
                break;
            default:
                flags |= Qt::AlignLeft;
            }
            switch (f.vertical) {
            case VAlign::Top:
                flags |= Qt::AlignTop;
                break;
            case VAlign::Center:
            case VAlign::Justify:
            case VAlign::Distributed:
                flags |= Qt::AlignVCenter;
                break;
            case VAlign::Bottom:
                flags |= Qt::AlignBottom;
            }
            p.save();
            p.setClipRect(box);
            p.setFont(font);
            p.setPen(color(f.fontColor));
            const double indent = f.indent * 3 * fm.horizontalAdvance(QLatin1Char('0'));
            QRectF inner = box.adjusted(pad, 0, -pad, -pad * 0.5);
            if (h == HAlign::Left)
                inner.setLeft(inner.left() + indent);
            else if (h == HAlign::Right)
                inner.setRight(inner.right() - indent);
            p.drawText(inner, flags, text);
            p.restore();
        });
    }
}

QPen Renderer::borderPen(const BorderLine& line) const
{
    const QString& s = line.style;
    double width = 0.75;
    if (s == QLatin1String("hair"))
        width = 0.25;
    else if (s.startsWith(QLatin1String("medium")))
        width = 1.5;
    else if (s == QLatin1String("thick"))
        width = 2.25;
    QPen pen(color(line.color), width * m_scale * m_px);
    pen.setCapStyle(Qt::SquareCap);
    if (s.contains(QLatin1String("ashDotDot"), Qt::CaseInsensitive))
        pen.setStyle(Qt::DashDotDotLine);
    else if (s.contains(QLatin1String("ashDot"), Qt::CaseInsensitive))
        pen.setStyle(Qt::DashDotLine);
    else if (s.contains(QLatin1String("ashed"), Qt::CaseInsensitive))
        pen.setStyle(Qt::DashLine);
    else if (s == QLatin1String("dotted"))
        pen.setStyle(Qt::DotLine);
    return pen;
}

void Renderer::paintBorders(QPainter& p, const Band& cols, const Band& rows)
{
    const auto edge = [&](const BorderLine& line, QPointF a, QPointF b, bool vertical) {
        if (!line.isSet())
            return;
        if (line.style == QLatin1String("double")) {
            QPen pen(color(line.color), 0.5 * m_scale * m_px);
            p.setPen(pen);
            const QPointF shift = vertical ? QPointF(0.75 * m_scale * m_px, 0) : QPointF(0, 0.75 * m_scale * m_px);
            p.drawLine(a - shift, b - shift);
            p.drawLine(a + shift, b + shift);
            return;
        }
        p.setPen(borderPen(line));
        p.drawLine(a, b);
    };
    for (int r = rows.first; r <= rows.last; ++r) {
        for (int c = cols.first; c <= cols.last; ++c) {
            const CellFormat& f = m_sheet.format(r, c);
            if (!f.left.isSet() && !f.right.isSet() && !f.top.isSet() && !f.bottom.isSet())
                continue;
            // edges inside a merged area do not show
            const std::optional<CellRect> m = m_sheet.mergedAreaAt(r, c);
            const QRectF box = cellRect(r, c, r, c, cols, rows);
            if (!m || m->left == c)
                edge(f.left, box.topLeft(), box.bottomLeft(), true);
            if (!m || m->right == c)
                edge(f.right, box.topRight(), box.bottomRight(), true);
            if (!m || m->top == r)
                edge(f.top, box.topLeft(), box.topRight(), false);
            if (!m || m->bottom == r)
                edge(f.bottom, box.bottomLeft(), box.bottomRight(), false);
        }
    }
}

} // namespace

QString renderWorksheet(const Worksheet& sheet, QPagedPaintDevice& device)
{
    return Renderer(sheet, device).run();
}
