#include "QtDesktop.h"

#include "Icons.h"
#include "NotifyIcon.h"
#include "QtText.h"

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

QIcon QtIconOf(HICON Icon)
{
    const TIconImage* image = IconImage(Icon);
    if (!image || image->Width <= 0 || image->Height <= 0) return {};
    QImage q(image->Width, image->Height, QImage::Format_ARGB32);
    for (int y = 0; y < image->Height; ++y)
        for (int x = 0; x < image->Width; ++x) {
            const size_t i = static_cast<size_t>(y * image->Width + x);
            const uint8_t index = i < image->Pixels.size() ? image->Pixels[i] : 0;
            q.setPixel(x, y, index < image->Palette.size() ? image->Palette[index] : 0);
        }
    return QIcon(QPixmap::fromImage(q));
}

// The mouse message the platform reports for each of Qt's activation reasons.
LPARAM MouseMessageOf(QSystemTrayIcon::ActivationReason Reason)
{
    switch (Reason) {
    case QSystemTrayIcon::Context: return WM_RBUTTONUP;
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Trigger: return WM_LBUTTONUP;
    case QSystemTrayIcon::MiddleClick: return WM_MBUTTONUP;
    case QSystemTrayIcon::Unknown: break;
    }
    return WM_MOUSEMOVE;
}

} // namespace

TQtDesktop::TQtDesktop() = default;
TQtDesktop::~TQtDesktop() = default;

POINT TQtDesktop::CursorPos()
{
    const QPoint p = QCursor::pos();
    return POINT{p.x(), p.y()};
}

void TQtDesktop::NotifyIconChanged(uint32_t Message, const NOTIFYICONDATA& Data)
{
    const auto key = std::make_pair(Data.hWnd, Data.uID);
    if (Message == NIM_DELETE) {
        FIcons.erase(key);
        return;
    }
    auto icon = std::make_unique<QSystemTrayIcon>();
    if (Data.uFlags & NIF_ICON) icon->setIcon(QtIconOf(Data.hIcon));
    if (Data.uFlags & NIF_TIP) icon->setToolTip(QtTextOf(Data.szTip));
    if (Data.uFlags & NIF_MESSAGE) {
        const HWND wnd = Data.hWnd;
        const uint32_t id = Data.uID;
        const UINT callback = Data.uCallbackMessage;
        QObject::connect(icon.get(), &QSystemTrayIcon::activated, [wnd, id, callback](QSystemTrayIcon::ActivationReason r) {
            PostMessageA(wnd, callback, id, MouseMessageOf(r));
        });
    }
    icon->show();
    FIcons[key] = std::move(icon);
}
