#include "WidgetFit.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolBar>
#include <QToolButton>

#include <sstream>

std::string WidgetName(const QWidget* W)
{
    return (W->objectName().isEmpty() ? std::string(W->metaObject()->className()) : W->objectName().toStdString());
}

namespace {

std::string Describe(const QRect& R)
{
    std::ostringstream s;
    s << R.x() << "," << R.y() << " " << R.width() << "x" << R.height();
    return s.str();
}

QString Caption(QString Text)
{
    return Text.remove(QRegularExpression("&(?!&)"));
}

// The text a control shows in its own font, if any.
QString ShownText(const QWidget* W)
{
    if (auto* l = qobject_cast<const QLabel*>(W)) return l->pixmap().isNull() ? l->text() : QString();
    if (auto* b = qobject_cast<const QAbstractButton*>(W)) return b->text();
    if (auto* g = qobject_cast<const QGroupBox*>(W)) return g->title();
    if (auto* c = qobject_cast<const QComboBox*>(W)) return c->currentText();
    if (auto* m = qobject_cast<const QPlainTextEdit*>(W)) return m->toPlainText();
    return {};
}

// The picture of a tool button in window pixels, as the style draws it at the screen's pixel
// ratio: a picture without a ratio of its own is drawn at its pixel size.
QSize DrawnIconSize(const QToolButton* T)
{
    if (T->icon().isNull()) return {0, 0};
    return T->icon().pixmap(T->size().boundedTo(T->iconSize()), T->devicePixelRatioF()).deviceIndependentSize().toSize();
}

// The part of a control that its own drawing leaves to the caption fails to hold it, or the
// caption is smaller than Least pixels (the window's font less one point).
void CaptionFaults(QWidget* W, double Least, std::vector<std::string>& Faults)
{
    const QFontMetrics fm(W->font());
    auto fault = [&](const QString& Text, const std::string& Why) {
        Faults.push_back(WidgetName(W) + " \"" + Text.toStdString() + "\": " + Why);
    };
    if (const QString shown = ShownText(W); !shown.isEmpty()) {
        const int pixels = QFontInfo(W->font()).pixelSize();
        if (pixels < Least) fault(shown, std::to_string(pixels) + " pixels high, less than " + std::to_string(Least));
    }
    if (auto* l = qobject_cast<QLabel*>(W)) {
        if (!l->pixmap().isNull() && l->pixmap().devicePixelRatio() != W->devicePixelRatioF())
            fault("picture", "drawn at a pixel ratio of " + std::to_string(l->pixmap().devicePixelRatio()) + " on a screen of " +
                                 std::to_string(W->devicePixelRatioF()));
        if (l->text().isEmpty() || !l->pixmap().isNull()) return;
        const QRect box = l->contentsRect();
        const QRect need = fm.boundingRect(box, int(l->alignment()) | (l->wordWrap() ? Qt::TextWordWrap : 0), l->text());
        if (need.width() > box.width() || need.height() > box.height())
            fault(l->text(), "needs " + Describe(need) + " in " + Describe(box));
    } else if (auto* t = qobject_cast<QToolButton*>(W)) {
        // Text under the picture, each centred inside the button's frame.
        const int frame = W->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, W);
        const int need = fm.horizontalAdvance(Caption(t->text())) + 2 * frame;
        if (need > t->width()) fault(t->text(), "needs " + std::to_string(need) + " of " + std::to_string(t->width()));
        if (DrawnIconSize(t).height() + fm.height() > t->height()) fault(t->text(), "picture and text taller than the button");
    } else if (auto* p = qobject_cast<QPushButton*>(W)) {
        // Qt's push buttons ask for 80 pixels whatever they hold; the caption needs its
        // advance, the picture and the style's margins.
        const int margins = 2 * (W->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, W) +
                                 W->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, W));
        const int need = fm.horizontalAdvance(Caption(p->text())) + (p->icon().isNull() ? 0 : p->iconSize().width() + 4) + margins;
        if (need > p->width() || fm.height() > p->height()) fault(p->text(), "needs " + std::to_string(need) + " of " + std::to_string(p->width()));
    } else if (qobject_cast<QCheckBox*>(W) || qobject_cast<QRadioButton*>(W)) {
        auto* b = qobject_cast<QAbstractButton*>(W);
        const QSize need = b->sizeHint();
        if (need.width() > b->width() || fm.height() > b->height())
            fault(b->text(), "needs " + std::to_string(need.width()) + "x" + std::to_string(fm.height()) + " in " +
                                 std::to_string(b->width()) + "x" + std::to_string(b->height()));
    } else if (auto* c = qobject_cast<QComboBox*>(W)) {
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = c->isEditable();
        const QRect field = c->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, c);
        for (int i = 0; i < c->count(); ++i)
            if (fm.horizontalAdvance(c->itemText(i)) > field.width())
                fault(c->itemText(i), "wider than the field's " + std::to_string(field.width()));
    } else if (auto* g = qobject_cast<QGroupBox*>(W)) {
        if (fm.horizontalAdvance(g->title()) + 16 > g->width()) fault(g->title(), "title wider than the box");
    } else if (auto* m = qobject_cast<QPlainTextEdit*>(W)) {
        // Each line of the text must stay one line, and all of them must show.
        int lines = 0;
        for (QTextBlock b = m->document()->begin(); b.isValid(); b = b.next()) {
            if (b.layout()->lineCount() > 1) fault(b.text(), "wraps");
            lines += b.layout()->lineCount();
        }
        if (lines * fm.lineSpacing() > m->viewport()->height()) fault(m->toPlainText(), "taller than the box");
    } else if (auto* s = qobject_cast<QAbstractButton*>(W)) {
        // A picture button of the window's own with a text (the on-screen keyboard's "Power").
        if (!s->text().isEmpty() && fm.horizontalAdvance(Caption(s->text())) + 4 > s->width()) fault(s->text(), "wider than the button");
    }
}

// A widget a window is built of, as opposed to the inner parts of a Qt control.
bool IsControl(const QWidget* W)
{
    for (const QWidget* p = W->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractSpinBox*>(p) ||
            qobject_cast<const QAbstractScrollArea*>(p) || qobject_cast<const QTabBar*>(p))
            return false;
    return true;
}

// A frame drawn around other controls of its parent: it may lie under the ones it surrounds.
bool IsBevel(const QWidget* W)
{
    return W->metaObject() == &QFrame::staticMetaObject && W->children().isEmpty();
}

// A frame or line (a bevel, a panel, a scroll area's frame) drawn whole at the screen's pixel
// ratio: the rectangle it is drawn in, in screen pixels as Qt draws it (from its place rounded,
// at its size rounded), lies within the screen pixels the window gives the control, those
// between its edges rounded (and so within its parent's and the window's, as the control lies
// within them).
void FrameFaults(QWidget& Window, QWidget* W, std::vector<std::string>& Faults)
{
    auto* f = qobject_cast<QFrame*>(W);
    if (!f || f->frameShape() == QFrame::NoFrame) return;
    const qreal ratio = W->devicePixelRatioF();
    const QPointF at = QPointF(W->mapTo(&Window, QPoint(0, 0))) * ratio;
    const QPointF end = at + QPointF(W->width(), W->height()) * ratio;
    const QRect given(QPoint(qRound(at.x()), qRound(at.y())), QPoint(qRound(end.x()) - 1, qRound(end.y()) - 1));
    const QRect frame = f->frameRect();
    const QRect drawn(QPoint(qRound(at.x() + frame.x() * ratio), qRound(at.y() + frame.y() * ratio)),
                      QSize(qRound(frame.width() * ratio), qRound(frame.height() * ratio)));
    if (!given.contains(drawn))
        Faults.push_back(WidgetName(W) + " frame drawn in screen pixels " + Describe(drawn) + ", given " + Describe(given) +
                         " at a pixel ratio of " + std::to_string(ratio));
}

} // namespace

std::vector<std::string> FitFaults(QWidget& Window)
{
    std::vector<std::string> faults;
    // Its title bar on the screen, where it can be taken and moved.
    if (const QScreen* screen = Window.screen(); screen && !screen->availableGeometry().contains(Window.frameGeometry().topLeft()))
        faults.push_back(WidgetName(&Window) + " at " + Describe(Window.frameGeometry()) + " has its top left off the screen " +
                         Describe(screen->availableGeometry()));
    const QRect window = Window.rect();
    // A caption may be one point smaller than the window's font, no more.
    const double least = QFontInfo(Window.font()).pixelSize() - Window.logicalDpiY() / 72.0;
    const auto all = Window.findChildren<QWidget*>();
    for (QWidget* w : all) {
        if (w->isWindow() || !w->isVisibleTo(&Window) || !IsControl(w)) continue;
        const QRect inWindow(w->mapTo(&Window, QPoint(0, 0)), w->size());
        if (!window.contains(inWindow)) faults.push_back(WidgetName(w) + " at " + Describe(inWindow) + " outside the window");
        else if (!w->parentWidget()->rect().contains(w->geometry()))
            faults.push_back(WidgetName(w) + " at " + Describe(w->geometry()) + " outside " + WidgetName(w->parentWidget()));
        CaptionFaults(w, least, faults);
        FrameFaults(Window, w, faults);
    }
    // The pictures of one tool bar stand at one size, the bar's: Qt gives every tool button
    // on a bar the bar's size again whenever the bar announces it (a scaled desktop does so
    // once the window is on its screen), whatever size the button was given.
    for (const QToolBar* bar : Window.findChildren<QToolBar*>()) {
        const auto size = [](QSize S) { return std::to_string(S.width()) + "x" + std::to_string(S.height()); };
        for (const QToolButton* t : bar->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
            if (!t->isVisibleTo(&Window) || t->icon().isNull()) continue;
            if (t->iconSize() != bar->iconSize())
                faults.push_back(WidgetName(t) + " picture size " + size(t->iconSize()) + ", its tool bar's " + size(bar->iconSize()));
            else if (DrawnIconSize(t) != t->iconSize())
                faults.push_back(WidgetName(t) + " picture drawn at " + size(DrawnIconSize(t)) + " for " + size(t->iconSize()));
        }
    }
    for (QWidget* a : all) {
        if (a->isWindow() || !a->isVisibleTo(&Window) || !IsControl(a)) continue;
        for (QObject* o : a->parentWidget()->children()) {
            auto* b = qobject_cast<QWidget*>(o);
            if (!b || b <= a || b->isWindow() || !b->isVisibleTo(&Window) || !IsControl(b)) continue;
            if (!a->geometry().intersects(b->geometry())) continue;
            if ((IsBevel(a) && a->geometry().contains(b->geometry())) || (IsBevel(b) && b->geometry().contains(a->geometry())))
                continue;
            faults.push_back(WidgetName(a) + " " + Describe(a->geometry()) + " and " + WidgetName(b) + " " + Describe(b->geometry()) +
                             " overlap");
        }
    }
    return faults;
}

std::string FitReport(const std::vector<std::string>& Faults)
{
    std::string out;
    for (const std::string& f : Faults) out += "\n  " + f;
    return out;
}

