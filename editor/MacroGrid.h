// The macro grid: the class library's string grid as the main window uses it. A fixed
// 8 x 29 grid of text cells with one current cell and a selected rectangle; a mouse drag
// selects a rectangle and leaves the current cell where the drag began. Every change of the
// current cell, by mouse, keys or code, first asks OnSelectCell, which may refuse it. Keys
// reach the handlers as the platform's virtual-key codes, characters as the 8-bit codes that
// the platform types for them; the grid keeps the Tab key for itself.
#pragma once
#include <QAbstractScrollArea>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

using TShiftState = Qt::KeyboardModifiers;

struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TGridRect&) const = default;
};

// The platform's virtual-key code of a Qt key: Backspace 8, Tab 9, Enter 13, Shift 16,
// Ctrl 17, Alt 18, Escape 27, cursor keys 33 to 40, Delete 46, letters and digits their
// upper-case ASCII, F1 112 on; 0 for a key without one.
uint16_t VirtualKeyFromQt(int QtKey);

class TMacroGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int ColCount = 8;
    static constexpr int RowCount = 29;
    static constexpr int DefaultColWidth = 50;
    static constexpr int DefaultRowHeight = 18;
    static constexpr int GridLineWidth = 1;

    explicit TMacroGrid(QWidget* Parent);

    int Col() const { return FCol; }
    int Row() const { return FRow; }
    // Each asks OnSelectCell; a refused move leaves everything as it was. An accepted move
    // collapses the selection to the new current cell and scrolls it into view.
    void SetCol(int ACol);
    void SetRow(int ARow);
    TGridRect Selection() const { return FSelection; }
    void SetSelection(const TGridRect& Rect);
    int TopRow() const;
    void SetTopRow(int ARow); // scrolls only; the current cell stays
    int VisibleRowCount() const;

    const QString& Cell(int ACol, int ARow) const { return FCells[Index(ACol, ARow)]; }
    void SetCell(int ACol, int ARow, const QString& Text);

    // Viewport coordinates of a cell, and the cell under a viewport point (false off the cells).
    QRect CellRect(int ACol, int ARow) const;
    bool MouseToCell(QPoint Pos, int& ACol, int& ARow) const;

    std::function<void(int ACol, int ARow, bool& CanSelect)> OnSelectCell;
    // Setting Key to 0 consumes it: the grid does not act on it too.
    std::function<void(uint16_t& Key, TShiftState Shift)> OnKeyDown;
    std::function<void(uint16_t& Key, TShiftState Shift)> OnKeyUp;
    std::function<void(uint8_t& Key)> OnKeyPress;
    std::function<void()> OnDblClick;
    std::function<void(Qt::MouseButton Button, TShiftState Shift, int X, int Y)> OnMouseDown;

    QSize sizeHint() const override { return {429, 119}; }

protected:
    bool event(QEvent* E) override;
    void keyPressEvent(QKeyEvent* E) override;
    void keyReleaseEvent(QKeyEvent* E) override;
    void mousePressEvent(QMouseEvent* E) override;
    void mouseMoveEvent(QMouseEvent* E) override;
    void mouseReleaseEvent(QMouseEvent* E) override;
    void mouseDoubleClickEvent(QMouseEvent* E) override;
    void paintEvent(QPaintEvent* E) override;
    void focusInEvent(QFocusEvent* E) override;
    void focusOutEvent(QFocusEvent* E) override;
    void resizeEvent(QResizeEvent* E) override;

private:
    // On a desktop scaled by a fraction where the frame's bottom or right line would fall outside
    // the screen pixels the grid is given, the grid is one window pixel shorter or narrower
    // (QtApplication.h, WholeRect).
    void KeepFrameWhole();
    static int Index(int ACol, int ARow) { return ARow * ColCount + ACol; }
    bool FocusCell(int ACol, int ARow);
    void ScrollIntoView(int ARow);
    void UpdateScrollRange();
    void MoveByKey(int Key, TShiftState Shift);

    std::array<QString, ColCount * RowCount> FCells;
    int FCol = 0;
    int FRow = 0;
    TGridRect FSelection;
    bool FDragging = false;
};
