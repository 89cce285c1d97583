#include "Glyphs.h"

#include <QFont>
#include <QPainter>

QPixmap TImageList::Picture(int Index) const
{
    if (Index < 0 || Index >= Count()) return {};
    return FImages[static_cast<size_t>(Index)];
}

namespace {
QPixmap Letter(const QString& Text, const QColor& Color, int W, int H)
{
    QPixmap pm(W, H);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::TextAntialiasing);
    QFont f("Sans");
    f.setPixelSize(H - 2);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Color);
    p.drawText(QRect(0, 0, W, H), Qt::AlignCenter, Text);
    return pm;
}
} // namespace

void FillLevelImages(TImageList& List)
{
    QPixmap blank(List.Width(), List.Height());
    blank.fill(Qt::transparent);
    List.Add(blank);
    List.Add(Letter("S", QColor(0xFF, 0, 0), List.Width(), List.Height()));
    List.Add(Letter("T", QColor(0, 0, 0xFF), List.Width(), List.Height()));
}

QPixmap KeyCapPicture(const QString& Legend, bool TypingReaches, int Width, int Height)
{
    QPixmap pm(Width, Height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = TypingReaches ? QColor(0x9C, 0xE0, 0x8C) : QColor(0xC8, 0xC8, 0xC8);
    const QColor edge = TypingReaches ? QColor(0x3C, 0x8C, 0x2C) : QColor(0x80, 0x80, 0x80);
    p.setPen(edge);
    p.setBrush(face);
    p.drawRoundedRect(QRectF(1.5, 1.5, Width - 3, Height - 3), 2.5, 2.5);
    QFont f("Sans");
    f.setPixelSize(Legend.size() > 3 ? 8 : 10);
    p.setFont(f);
    // Long legends must fit the cap: shrink until they do.
    while (f.pixelSize() > 6 && QFontMetrics(f).horizontalAdvance(Legend) > Width - 4) {
        f.setPixelSize(f.pixelSize() - 1);
        p.setFont(f);
    }
    p.setPen(Qt::black);
    p.drawText(QRect(1, 1, Width - 2, Height - 2), Qt::AlignCenter, Legend);
    return pm;
}
