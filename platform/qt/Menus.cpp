#include "Menus.h"

#include "Messages.h"
#include "QtText.h"

#include <QAction>
#include <QMenu>

namespace {
// The platform tracks one popup menu at a time: a second one asked for meanwhile (another
// program can post the tray icon's notification as often as it likes) would nest a loop per
// request until the stack runs out.
bool Tracking = false;
} // namespace

void TMenuItem::Click()
{
    if (OnClick) OnClick(this);
}

void TPopupMenu::Popup(int X, int Y)
{
    if (Tracking) return;
    QMenu menu;
    menu.setObjectName(QString::fromStdString(Name));
    for (TMenuItem* item : Items) {
        QAction* a = item->Caption == "-" ? menu.addSeparator() : menu.addAction(QtTextOf(item->Caption));
        a->setObjectName(QString::fromStdString(item->Name));
        a->setData(QVariant::fromValue(static_cast<void*>(item)));
    }
    QAction* chosen = nullptr;
    {
        TLoopScope modal(TLoopKind::Modal);
        Tracking = true;
        chosen = menu.exec(QPoint(X, Y));
        Tracking = false;
    }
    if (chosen && !chosen->isSeparator()) static_cast<TMenuItem*>(chosen->data().value<void*>())->Click();
}
