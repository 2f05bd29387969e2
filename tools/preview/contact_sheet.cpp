#include "tools/preview/contact_sheet.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int kColumns = 4;
constexpr int kMargin = 12;
constexpr int kGap = 6;
// Grey, so that the screens' own black shows where they end.
const QColor kBackground(0x40, 0x40, 0x40);
const QColor kFrame(0x90, 0x90, 0x90);
const QColor kText(0xf0, 0xf0, 0xf0);

} // namespace

QImage contact_sheet(const QString& title, const std::vector<SheetCell>& cells)
{
    QFont font;
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    const int text_height = metrics.height();

    int cell_width = 0;
    int cell_height = 0;
    for (const SheetCell& cell : cells) {
        cell_width = std::max({cell_width, cell.image.width() + 2, metrics.horizontalAdvance(cell.label)});
        cell_height = std::max(cell_height, cell.image.height() + 2);
    }
    const int columns = std::min<int>(kColumns, int(cells.size()));
    const int rows = (int(cells.size()) + kColumns - 1) / kColumns;
    const int row_height = text_height + kGap + cell_height;
    const int width = std::max(2 * kMargin + columns * cell_width + (columns - 1) * kMargin,
                               2 * kMargin + metrics.horizontalAdvance(title));
    const int height = 2 * kMargin + text_height + kMargin + rows * row_height + (rows - 1) * kMargin;

    QImage sheet(width, height, QImage::Format_RGB32);
    sheet.fill(kBackground);
    QPainter painter(&sheet);
    painter.setFont(font);
    painter.setPen(kText);
    painter.drawText(kMargin, kMargin + metrics.ascent(), title);
    for (int i = 0; i < int(cells.size()); ++i) {
        const int x = kMargin + (i % kColumns) * (cell_width + kMargin);
        const int y = 2 * kMargin + text_height + (i / kColumns) * (row_height + kMargin);
        painter.setPen(kText);
        painter.drawText(x, y + metrics.ascent(), cells[i].label);
        const int image_y = y + text_height + kGap;
        painter.setPen(kFrame);
        painter.drawRect(x, image_y, cells[i].image.width() + 1, cells[i].image.height() + 1);
        painter.drawImage(x + 1, image_y + 1, cells[i].image);
    }
    return sheet;
}
