#include "Glyphs.h"

#include "QtApplication.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <cmath>

QPixmap TImageList::Picture(int Index) const
{
    if (Index < 0 || Index >= Count()) return {};
    return FImages[static_cast<size_t>(Index)];
}

namespace {
QPixmap Letter(const QString& Text, const QColor& Color, int W, int H)
{
    QPixmap pm = ScreenPicture(W, H);
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
    List.Add(ScreenPicture(List.Width(), List.Height()));
    List.Add(Letter("S", QColor(0xFF, 0, 0), List.Width(), List.Height()));
    List.Add(Letter("T", QColor(0, 0, 0xFF), List.Width(), List.Height()));
}

QFont KeyCapFont()
{
    QFont f = FormFont();
    // One point is 4/3 pixels at the windows' 96 dots per inch.
    f.setPixelSize(static_cast<int>(std::ceil(f.pixelSize() - 96.0 / 72.0)));
    return f;
}

QRect KeyCapFace(int Width, int Height)
{
    return {1, 1, Width - 2, Height - 2};
}

namespace {
struct TLegendLine {
    QString Text;
    QPoint Baseline; // where the line's text starts
    QRect Ink;
};

// Each line centred across the cap, and the lines together centred from the top of their
// highest letter to the bottom of their lowest.
std::vector<TLegendLine> LayOutLegend(const QString& Legend, int Width, int Height)
{
    const QFontMetrics fm(KeyCapFont());
    const int pitch = fm.lineSpacing() - 1;
    std::vector<TLegendLine> lines;
    QRect all;
    int y = 0;
    for (const QString& text : Legend.split(u'\n')) {
        const int x = (Width - fm.horizontalAdvance(text)) / 2;
        const QRect ink = fm.tightBoundingRect(text).translated(x, y);
        lines.push_back({text, {x, y}, ink});
        all = all.united(ink);
        y += pitch;
    }
    const int shift = (Height - all.height()) / 2 - all.top();
    for (TLegendLine& l : lines) {
        l.Baseline.ry() += shift;
        l.Ink.translate(0, shift);
    }
    return lines;
}
} // namespace

std::vector<QRect> KeyCapLegendInk(const QString& Legend, int Width, int Height)
{
    std::vector<QRect> out;
    for (const TLegendLine& l : LayOutLegend(Legend, Width, Height)) out.push_back(l.Ink);
    return out;
}

QPixmap KeyCapPicture(const QString& Legend, bool TypingReaches, int Width, int Height)
{
    QPixmap pm = ScreenPicture(Width, Height);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor face = TypingReaches ? QColor(0x9C, 0xE0, 0x8C) : QColor(0xC8, 0xC8, 0xC8);
    const QColor edge = TypingReaches ? QColor(0x3C, 0x8C, 0x2C) : QColor(0x80, 0x80, 0x80);
    p.setPen(edge);
    p.setBrush(face);
    // The one-pixel outline just around the face.
    p.drawRoundedRect(QRectF(KeyCapFace(Width, Height)).marginsAdded(QMarginsF(0.5, 0.5, 0.5, 0.5)), 2.5, 2.5);
    p.setFont(KeyCapFont());
    p.setPen(Qt::black);
    for (const TLegendLine& l : LayOutLegend(Legend, Width, Height)) p.drawText(l.Baseline, l.Text);
    return pm;
}
