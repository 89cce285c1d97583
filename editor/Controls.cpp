#include "Controls.h"

#include "QtApplication.h"

#include <QApplication>
#include <QStyleFactory>
#include <QStyleOptionComplex>

#include <QContextMenuEvent>
#include <QMenu>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QValidator>
#include <qdrawutil.h>

#include <algorithm>
#include <utility>

// Sees each change of the text beside the text before it. The change ends at the caret, so what
// follows the caret, as far as it is the same as before, was kept; so was what the two share at
// the start. The rest of the new text is what the change put in. A change that puts in more than
// fits the limit beside what was kept is refused, which QLineEdit takes back as one of its own
// steps, and TEdit then puts in the part that fits as a step of its own: so the caret ends after
// that part and Ctrl+Z takes it back, as it does a typed key. Undo and redo bring back the box's
// own earlier texts and pass whole.
class TEdit::TLimit : public QValidator {
public:
    explicit TLimit(TEdit& Box) : QValidator(&Box), FBox(Box) {}
    State validate(QString& Input, int& Pos) const override
    {
        if (FBox.FTakingBack) return Acceptable;
        const QString& before = FBox.FBefore;
        const qsizetype shorter = std::min(Input.size(), before.size());
        const qsizetype afterCaret = std::min<qsizetype>(Input.size() - Pos, shorter);
        qsizetype head = 0, tail = 0;
        while (tail < afterCaret && Input.at(Input.size() - 1 - tail) == before.at(before.size() - 1 - tail)) ++tail;
        while (head < shorter - tail && Input.at(head) == before.at(head)) ++head;
        const qsizetype put = Input.size() - head - tail;
        const qsizetype fits = std::clamp<qsizetype>(FBox.FMaxLength - head - tail, 0, put);
        if (fits == put) return Acceptable;
        FBox.FRefused = {before, Input.left(head + fits) + Input.right(tail)};
        // Put in as the box's own event ends, else (a paste from the context menu) when the queue
        // comes round: queued on the application, as the box's next event would take it first.
        const auto putIn = [Box = QPointer<TEdit>(&FBox)] {
            if (Box && Box->FRefused) Box->PutInWhatFits(false);
        };
        QMetaObject::invokeMethod(qApp, putIn, Qt::QueuedConnection);
        return Invalid;
    }

private:
    TEdit& FBox;
};

TEdit::TEdit(int MaxLength, QWidget* Parent) : QLineEdit(Parent), FMaxLength(MaxLength)
{
    setValidator(new TLimit(*this));
    // The validator runs before this, so it sees the text as it was before the change.
    connect(this, &QLineEdit::textChanged, this, [this] { FBefore = text(); });
}

void TEdit::SetText(const QString& Text)
{
    FBefore = Text; // no change to take back
    setText(Text);
}

bool TEdit::event(QEvent* E)
{
    auto* key = E->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(E) : nullptr;
    FTakingBack = key && (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo));
    auto earlier = std::exchange(FRefused, std::nullopt); // refused outside an event, put in when queued
    const bool handled = QLineEdit::event(E);
    FTakingBack = false;
    if (FRefused)
        PutInWhatFits(true);
    else
        FRefused = std::move(earlier);
    return handled;
}

void TEdit::PutInWhatFits(bool Now)
{
    const auto [before, fitted] = *FRefused;
    FRefused.reset();
    // QLineEdit keeps a refused change after one of its undo steps that was refused too (as a
    // long text's deletion taken back from the context menu); that change is taken back here.
    if (Now && text() != before) {
        FTakingBack = true;
        undo();
        FTakingBack = false;
    }
    if (text() != before) return;
    // The refused change replaced the selection, now back, or put in at the caret.
    const qsizetype start = hasSelectedText() ? selectionStart() : cursorPosition();
    const qsizetype end = hasSelectedText() ? selectionEnd() : cursorPosition();
    const qsizetype kept = before.size() - end;
    if (fitted.size() < start + kept || !fitted.startsWith(before.left(start)) || !fitted.endsWith(before.right(kept)))
        return;
    insert(fitted.mid(start, fitted.size() - start - kept));
}

TSpeedButton::TSpeedButton(QWidget* Parent) : QAbstractButton(Parent)
{
    setFocusPolicy(Qt::NoFocus); // speed buttons never take the keyboard focus
    connect(this, &QAbstractButton::clicked, this, &TSpeedButton::Clicked);
}

void TSpeedButton::Clicked()
{
    if (GroupIndex != 0) SetDown(AllowAllUp ? !FDown : true);
    emit Click();
}

void TSpeedButton::SetDown(bool Value)
{
    if (GroupIndex == 0 || Value == FDown) return;
    if (!Value && !AllowAllUp) return;
    FDown = Value;
    if (FDown && parentWidget()) {
        for (TSpeedButton* b : parentWidget()->findChildren<TSpeedButton*>(Qt::FindDirectChildrenOnly)) {
            if (b != this && b->GroupIndex == GroupIndex && b->FDown) {
                b->FDown = false;
                b->update();
            }
        }
    }
    update();
}

void TSpeedButton::SetGlyph(const QPixmap& Picture)
{
    FGlyph = Picture;
    update();
}

void TSpeedButton::mousePressEvent(QMouseEvent* E)
{
    emit MouseDown(E->button(), E->modifiers(), E->position().toPoint());
    if (E->button() == Qt::RightButton) {
        E->accept();
        if (PopupMenu) PopupMenu->popup(E->globalPosition().toPoint());
        return;
    }
    QAbstractButton::mousePressEvent(E);
}

void TSpeedButton::contextMenuEvent(QContextMenuEvent* E)
{
    E->accept(); // the right button press has already opened the popup
}

void TSpeedButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool sunken = FDown || isDown();
    const QRect r = rect();
    p.fillRect(r, palette().button());
    if (!FGlyph.isNull()) {
        const QSize g = FGlyph.deviceIndependentSize().toSize();
        QPoint at((r.width() - g.width()) / 2, (r.height() - g.height()) / 2);
        if (sunken) at += QPoint(1, 1);
        p.drawPixmap(at, FGlyph);
    }
    if (!text().isEmpty()) {
        p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : palette().color(QPalette::Mid));
        p.drawText(r.translated(sunken ? 1 : 0, sunken ? 1 : 0), Qt::AlignCenter, text());
    }
    if (FDown) p.fillRect(r.adjusted(1, 1, -1, -1), QColor(0, 0, 60, 70));
    qDrawShadePanel(&p, WholeRect(*this), palette(), sunken, 1);
}

TTabControl::TTabControl(const QStringList& TabCaptions, QWidget* Parent) : QWidget(Parent), FTabs(new QTabBar(this))
{
    FTabs->setObjectName("Tabs");
    FTabs->setDrawBase(false);
    FTabs->setExpanding(false);
    FTabs->setFocusPolicy(Qt::TabFocus);
    for (const QString& c : TabCaptions) FTabs->addTab(c);
    connect(FTabs, &QTabBar::currentChanged, this, [this] {
        if (!FQuiet) emit Change();
    });
}

void TTabControl::SetTabIndex(int Index)
{
    FQuiet = true;
    FTabs->setCurrentIndex(Index);
    FQuiet = false;
}

int TTabControl::PageTop() const
{
    return FTabs->sizeHint().height();
}

void TTabControl::resizeEvent(QResizeEvent*)
{
    FTabs->setGeometry(2, 0, width() - 4, PageTop());
}

void TTabControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect whole = WholeRect(*this);
    qDrawShadePanel(&p, QRect(0, PageTop() - 1, whole.width(), whole.height() - PageTop() + 1), palette(), false, 1);
}

void SetColor(QWidget* Control, const QColor& Color)
{
    QPalette pal = Control->palette();
    pal.setColor(QPalette::Window, Color);
    Control->setPalette(pal);
    Control->setAutoFillBackground(true);
}

QColor ColorOf(const QWidget* Control)
{
    return Control->palette().color(QPalette::Window);
}

TFormStyle::TFormStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}

int TFormStyle::pixelMetric(PixelMetric Metric, const QStyleOption* Option, const QWidget* Widget) const
{
    switch (Metric) {
    case PM_ToolBarItemSpacing:
    case PM_ToolBarItemMargin:
    case PM_ToolBarFrameWidth:
        return 0;
    default:
        return QProxyStyle::pixelMetric(Metric, Option, Widget);
    }
}

QRect TFormStyle::subControlRect(ComplexControl Control, const QStyleOptionComplex* Option, SubControl Sub,
                                 const QWidget* Widget) const
{
    if (Control == CC_ComboBox && (Sub == SC_ComboBoxArrow || Sub == SC_ComboBoxEditField)) {
        const QRect r = Option->rect;
        const int frame = 2;
        if (Sub == SC_ComboBoxArrow) return {r.right() - ComboButtonWidth + 1, r.top(), ComboButtonWidth, r.height()};
        return {r.left() + frame, r.top() + frame, r.width() - 2 * frame - ComboButtonWidth + 1, r.height() - 2 * frame};
    }
    return QProxyStyle::subControlRect(Control, Option, Sub, Widget);
}
