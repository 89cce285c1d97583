// The few class-library controls the main window relies on, where Qt's own behave otherwise:
// a speed button with grouped down states, a tab strip whose index can be set quietly and an
// edit box whose length limit holds only for what the user enters.
#pragma once
#include <QAbstractButton>
#include <QColor>
#include <QLineEdit>
#include <QPixmap>
#include <QProxyStyle>
#include <QTabBar>
#include <QWidget>

#include <optional>
#include <utility>

class QMenu;

// A flat picture button. GroupIndex 0: no down state. Buttons with the same parent and the
// same non-zero GroupIndex form a group in which at most one is down; with AllowAllUp false
// exactly one stays down and a click on it keeps it down, with AllowAllUp true (a group of
// one) a click toggles it.
class TSpeedButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TSpeedButton(QWidget* Parent);

    int Tag = 0;
    int GroupIndex = 0;
    bool AllowAllUp = false;
    QMenu* PopupMenu = nullptr; // opened by the right mouse button, after MouseDown

    bool Down() const { return FDown; }
    // Sets the look only: no Click is emitted. In an exclusive group the others go up, and
    // the one down button cannot be put up.
    void SetDown(bool Value);
    const QPixmap& Glyph() const { return FGlyph; }
    void SetGlyph(const QPixmap& Picture);

signals:
    // A click by the mouse or by click(): the down state has already changed.
    void Click();
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint Pos);

protected:
    void mousePressEvent(QMouseEvent* E) override;
    void contextMenuEvent(QContextMenuEvent* E) override;
    void paintEvent(QPaintEvent* E) override;
    QSize sizeHint() const override { return {23, 22}; }

private:
    void Clicked();
    bool FDown = false;
    QPixmap FGlyph;
};

// A tab strip over a framed page that holds other controls. Change runs only when the
// user picks another tab; SetTabIndex from code runs nothing.
class TTabControl : public QWidget {
    Q_OBJECT
public:
    TTabControl(const QStringList& TabCaptions, QWidget* Parent);
    int TabIndex() const { return FTabs->currentIndex(); }
    void SetTabIndex(int Index);
    QTabBar* Tabs() const { return FTabs; }
    // Top of the page area, below the tabs.
    int PageTop() const;

signals:
    void Change();

protected:
    void paintEvent(QPaintEvent* E) override;
    void resizeEvent(QResizeEvent* E) override;

private:
    QTabBar* FTabs;
    bool FQuiet = false;
};

// A one-line edit box whose MaxLength limits what the user enters, as the class library's box
// does: of a typed key, a paste or a drop, what would pass the limit goes (what stays is one step
// for Ctrl+Z, as in QLineEdit), and a text longer than the limit can be shortened but not
// lengthened. A text set by SetText stands whole, however long; QLineEdit's setMaxLength would
// cut it.
class TEdit : public QLineEdit {
public:
    TEdit(int MaxLength, QWidget* Parent);
    void SetText(const QString& Text);

protected:
    bool event(QEvent* E) override;

private:
    class TLimit;
    void PutInWhatFits(bool Now); // Now: in the event that made the change
    const int FMaxLength;
    QString FBefore;          // the text as the last change left it
    bool FTakingBack = false; // an undo or redo under way
    // Of a change refused in the event under way: the text before it and what fits of it.
    std::optional<std::pair<QString, QString>> FRefused;
};

// The class library's measures where Qt's style differs and a caption would not fit: a tool
// bar lays its buttons edge to edge with no margin, and a combo box's drop-down button is 17
// wide, as on the platform the windows were designed on. Set on the one control it serves.
class TFormStyle : public QProxyStyle {
public:
    TFormStyle();
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option = nullptr, const QWidget* Widget = nullptr) const override;
    QRect subControlRect(ComplexControl Control, const QStyleOptionComplex* Option, SubControl Sub,
                         const QWidget* Widget = nullptr) const override;
    static constexpr int ComboButtonWidth = 17;
};

// A control's background colour, as the class library's Color property.
void SetColor(QWidget* Control, const QColor& Color);
QColor ColorOf(const QWidget* Control);
