#include "Menus.h"

#include "Messages.h"
#include "QtText.h"

#include <QAction>
#include <QMenu>

void TMenuItem::Click()
{
    if (OnClick) OnClick(this);
}

void TPopupMenu::Popup(int X, int Y)
{
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
        chosen = menu.exec(QPoint(X, Y));
    }
    if (chosen && !chosen->isSeparator()) static_cast<TMenuItem*>(chosen->data().value<void*>())->Click();
}
