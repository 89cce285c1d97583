#include "MacroGrid.h"

#include "QtApplication.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

uint16_t VirtualKeyFromQt(int QtKey)
{
    switch (QtKey) {
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Pause: return 19;
    case Qt::Key_CapsLock: return 20;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    case Qt::Key_Insert: return 45;
    case Qt::Key_Delete: return 46;
    default: break;
    }
    if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9) return static_cast<uint16_t>(QtKey);
    if (QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) return static_cast<uint16_t>(QtKey);
    if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) return static_cast<uint16_t>(0x70 + (QtKey - Qt::Key_F1));
    return 0;
}

namespace {
constexpr int ColPitch = TMacroGrid::DefaultColWidth + TMacroGrid::GridLineWidth;
constexpr int RowPitch = TMacroGrid::DefaultRowHeight + TMacroGrid::GridLineWidth;

// The character the platform's US layout types for a key, or -1 for none. Qt's text differs
// from it where Ctrl is held (X11 gives Ctrl+3 ESC, Ctrl+; a semicolon, Ctrl+Space NUL) and
// for Shift+Tab, which comes as Backtab without text.
int PlatformCharacter(const QKeyEvent& E)
{
    const Qt::KeyboardModifiers mods = E.modifiers();
    // With Alt held the key goes to the menu instead.
    if (mods & Qt::AltModifier) return -1;
    const int key = E.key();
    const bool ctrl = mods & Qt::ControlModifier;
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return ctrl ? -1 : 9;
    if (ctrl) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
        switch (key) {
        case Qt::Key_At: return 0;
        case Qt::Key_BracketLeft:
        case Qt::Key_Escape: return 27;
        case Qt::Key_Backslash: return 28;
        case Qt::Key_BracketRight: return 29;
        case Qt::Key_AsciiCircum: return 30;
        case Qt::Key_Underscore: return 31;
        case Qt::Key_Space: return 32;
        case Qt::Key_Return:
        case Qt::Key_Enter: return 10;
        case Qt::Key_Backspace: return 127;
        default: return -1;
        }
    }
    const QString text = E.text();
    return text.isEmpty() ? -1 : text.at(0).unicode();
}
} // namespace

TMacroGrid::TMacroGrid(QWidget* Parent) : QAbstractScrollArea(Parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setSingleStep(1);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Window, Qt::black);
    viewport()->setPalette(pal);
    viewport()->setAutoFillBackground(true);
    QFont f = font();
    f.setBold(true);
    setFont(f);
    UpdateScrollRange();
}

int TMacroGrid::TopRow() const
{
    return verticalScrollBar()->value();
}

int TMacroGrid::VisibleRowCount() const
{
    // From the grid's own size: the viewport gets its size only when the grid is first laid
    // out on the screen, and a definition is loaded before that.
    return std::max(1, (height() - 2 * frameWidth()) / RowPitch);
}

void TMacroGrid::SetTopRow(int ARow)
{
    UpdateScrollRange();
    verticalScrollBar()->setValue(ARow);
}

void TMacroGrid::UpdateScrollRange()
{
    verticalScrollBar()->setRange(0, std::max(0, RowCount - VisibleRowCount()));
    verticalScrollBar()->setPageStep(VisibleRowCount());
}

void TMacroGrid::resizeEvent(QResizeEvent* E)
{
    QAbstractScrollArea::resizeEvent(E);
    KeepFrameWhole();
    UpdateScrollRange();
}

void TMacroGrid::KeepFrameWhole()
{
    // The scroll area lays its frame out over the whole grid each time, so the grid itself
    // takes the size its frame is drawn whole in (the same size where that is the whole grid).
    if (const QRect whole = WholeRect(*this); whole.size() != size()) resize(whole.size());
}

void TMacroGrid::ScrollIntoView(int ARow)
{
    UpdateScrollRange();
    if (ARow < TopRow()) verticalScrollBar()->setValue(ARow);
    else if (ARow >= TopRow() + VisibleRowCount()) verticalScrollBar()->setValue(ARow - VisibleRowCount() + 1);
}

bool TMacroGrid::FocusCell(int ACol, int ARow)
{
    ACol = std::clamp(ACol, 0, ColCount - 1);
    ARow = std::clamp(ARow, 0, RowCount - 1);
    bool can = true;
    if (OnSelectCell) OnSelectCell(ACol, ARow, can);
    if (!can) return false;
    FCol = ACol;
    FRow = ARow;
    FSelection = {ACol, ARow, ACol, ARow};
    ScrollIntoView(ARow);
    viewport()->update();
    return true;
}

void TMacroGrid::SetCol(int ACol)
{
    FocusCell(ACol, FRow);
}

void TMacroGrid::SetRow(int ARow)
{
    FocusCell(FCol, ARow);
}

void TMacroGrid::SetSelection(const TGridRect& Rect)
{
    FSelection = Rect;
    viewport()->update();
}

void TMacroGrid::SetCell(int ACol, int ARow, const QString& Text)
{
    QString& c = FCells[Index(ACol, ARow)];
    if (c == Text) return;
    c = Text;
    viewport()->update();
}

QRect TMacroGrid::CellRect(int ACol, int ARow) const
{
    return {ACol * ColPitch, (ARow - TopRow()) * RowPitch, DefaultColWidth, DefaultRowHeight};
}

bool TMacroGrid::MouseToCell(QPoint Pos, int& ACol, int& ARow) const
{
    if (Pos.x() < 0 || Pos.y() < 0) return false;
    const int c = Pos.x() / ColPitch;
    const int r = Pos.y() / RowPitch + TopRow();
    if (c >= ColCount || r >= RowCount) return false;
    ACol = c;
    ARow = r;
    return true;
}

bool TMacroGrid::event(QEvent* E)
{
    // The grid keeps Tab: it reaches the key handlers instead of moving the focus.
    if (E->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(E);
        if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
            keyPressEvent(k);
            return true;
        }
    }
    if (E->type() == QEvent::Show) KeepFrameWhole();
    return QAbstractScrollArea::event(E);
}

void TMacroGrid::keyPressEvent(QKeyEvent* E)
{
    uint16_t key = VirtualKeyFromQt(E->key());
    if (key != 0 && OnKeyDown) OnKeyDown(key, E->modifiers());
    if (key != 0) MoveByKey(E->key(), E->modifiers());
    const int ch = PlatformCharacter(*E);
    // A character with no 8-bit code never reaches the handler.
    if (ch >= 0 && ch < 256 && OnKeyPress) {
        uint8_t c = static_cast<uint8_t>(ch);
        OnKeyPress(c);
    }
    E->accept();
}

void TMacroGrid::MoveByKey(int Key, TShiftState Shift)
{
    if (Key == Qt::Key_Tab || Key == Qt::Key_Backtab) {
        // Tab goes one cell on and Shift+Tab one back, row after row, round from the last cell
        // to the first; Ctrl+Tab stays. On a blank cell (at or past the macro's end: empty in the
        // text view, one blank in the hex view) Shift+Tab stays too, so its Tab is appended there
        // like any other code.
        if (Shift & Qt::ControlModifier) return;
        constexpr int cells = ColCount * RowCount;
        const bool back = Key == Qt::Key_Backtab || (Shift & Qt::ShiftModifier);
        if (back && FCells[Index(FCol, FRow)].trimmed().isEmpty()) return;
        const int step = back ? cells - 1 : 1;
        const int i = (Index(FCol, FRow) + step) % cells;
        FocusCell(i % ColCount, i / ColCount);
        return;
    }
    int c = FCol, r = FRow;
    switch (Key) {
    case Qt::Key_Left: --c; break;
    case Qt::Key_Right: ++c; break;
    case Qt::Key_Up: --r; break;
    case Qt::Key_Down: ++r; break;
    case Qt::Key_PageUp: r -= VisibleRowCount(); break;
    case Qt::Key_PageDown: r += VisibleRowCount(); break;
    case Qt::Key_Home: c = 0; break;
    case Qt::Key_End: c = ColCount - 1; break;
    default: return;
    }
    c = std::clamp(c, 0, ColCount - 1);
    r = std::clamp(r, 0, RowCount - 1);
    if (Shift & Qt::ShiftModifier) {
        // Shift with a cursor key widens the rectangle; the current cell stays.
        SetSelection({std::min(FCol, c), std::min(FRow, r), std::max(FCol, c), std::max(FRow, r)});
        ScrollIntoView(r);
        return;
    }
    if (c != FCol || r != FRow) FocusCell(c, r);
}

void TMacroGrid::keyReleaseEvent(QKeyEvent* E)
{
    // A held key repeats as key-downs only, as on the platform.
    if (E->isAutoRepeat()) return;
    uint16_t key = VirtualKeyFromQt(E->key());
    if (key != 0 && OnKeyUp) OnKeyUp(key, E->modifiers());
    E->accept();
}

void TMacroGrid::mousePressEvent(QMouseEvent* E)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = E->position().toPoint();
    if (E->button() == Qt::LeftButton) {
        int c = 0, r = 0;
        if (MouseToCell(pos, c, r)) FDragging = FocusCell(c, r);
    }
    if (OnMouseDown) OnMouseDown(E->button(), E->modifiers(), pos.x(), pos.y());
    E->accept();
}

void TMacroGrid::mouseMoveEvent(QMouseEvent* E)
{
    if (!FDragging || !(E->buttons() & Qt::LeftButton)) return;
    const QPoint pos = E->position().toPoint();
    const int c = std::clamp(pos.x() / ColPitch, 0, ColCount - 1);
    const int r = std::clamp(static_cast<int>(std::floor(double(pos.y()) / RowPitch)) + TopRow(), 0, RowCount - 1);
    SetSelection({std::min(FCol, c), std::min(FRow, r), std::max(FCol, c), std::max(FRow, r)});
    ScrollIntoView(r);
}

void TMacroGrid::mouseReleaseEvent(QMouseEvent* E)
{
    FDragging = false;
    E->accept();
}

void TMacroGrid::mouseDoubleClickEvent(QMouseEvent* E)
{
    if (E->button() == Qt::LeftButton && OnDblClick) OnDblClick();
    E->accept();
}

// The current cell is drawn only while the grid has the focus; Qt repaints the frame on a
// focus change, not the cells.
void TMacroGrid::focusInEvent(QFocusEvent* E)
{
    QAbstractScrollArea::focusInEvent(E);
    viewport()->update();
}

void TMacroGrid::focusOutEvent(QFocusEvent* E)
{
    QAbstractScrollArea::focusOutEvent(E);
    viewport()->update();
}

void TMacroGrid::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    const QColor lines(0x40, 0x40, 0x40);
    const QColor text(0x00, 0xFF, 0x00); // lime
    const QColor selected(0x00, 0x00, 0x80);
    const int first = TopRow();
    const int last = std::min(RowCount - 1, first + VisibleRowCount() + 1);
    p.setFont(font());
    for (int r = first; r <= last; ++r) {
        for (int c = 0; c < ColCount; ++c) {
            const QRect cell = CellRect(c, r);
            const bool inSel = c >= FSelection.Left && c <= FSelection.Right && r >= FSelection.Top && r <= FSelection.Bottom;
            const bool current = c == FCol && r == FRow;
            if (inSel && !(current && FSelection.Left == FSelection.Right && FSelection.Top == FSelection.Bottom && !hasFocus()))
                p.fillRect(cell, selected);
            p.setPen(inSel ? Qt::white : text);
            p.drawText(cell.adjusted(3, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, FCells[Index(c, r)]);
            if (current && hasFocus()) {
                p.setPen(QPen(Qt::white, 1, Qt::DotLine));
                p.drawRect(cell.adjusted(0, 0, -1, -1));
            }
        }
    }
    p.setPen(lines);
    const int bottom = (RowCount - first) * RowPitch;
    for (int c = 1; c <= ColCount; ++c) p.drawLine(c * ColPitch - 1, 0, c * ColPitch - 1, bottom);
    for (int r = first + 1; r <= last + 1; ++r) {
        const int y = (r - first) * RowPitch - 1;
        p.drawLine(0, y, ColCount * ColPitch - 1, y);
    }
}
