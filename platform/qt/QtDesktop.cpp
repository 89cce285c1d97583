#include "QtDesktop.h"

#include "Icons.h"
#include "NotifyIcon.h"
#include "QtText.h"

#include <QCursor>
#include <QIcon>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <algorithm>
#include <utility>

namespace {

// A palette icon is pixel art: drawn at a whole number of screen pixels for each of its own,
// the most that fit, in the middle of the place asked for. Any other ratio (a desktop scaled
// by 125 %, an area of 22 pixels) would draw some of its strokes wider than others.
class TPixelIconEngine : public QIconEngine {
public:
    explicit TPixelIconEngine(QImage Image) : FImage(std::move(Image)) {}

    void paint(QPainter* Painter, const QRect& Rect, QIcon::Mode Mode, QIcon::State State) override
    {
        const qreal ratio = Painter->device() ? Painter->device()->devicePixelRatio() : 1.0;
        QPixmap picture = pixmap((QSizeF(Rect.size()) * ratio).toSize(), Mode, State);
        picture.setDevicePixelRatio(ratio);
        Painter->drawPixmap(Rect.topLeft(), picture);
    }
    // Size in screen pixels.
    QPixmap pixmap(const QSize& Size, QIcon::Mode, QIcon::State) override
    {
        QImage out(Size, QImage::Format_ARGB32_Premultiplied);
        out.fill(Qt::transparent);
        const int times = std::min(Size.width() / FImage.width(), Size.height() / FImage.height());
        // Smaller than its own pixels: only a smoothed picture keeps all of it.
        const QImage drawn = times >= 1 ? FImage.scaled(FImage.size() * times)
                                        : FImage.scaled(Size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter p(&out);
        p.drawImage((Size.width() - drawn.width()) / 2, (Size.height() - drawn.height()) / 2, drawn);
        p.end();
        return QPixmap::fromImage(out);
    }
    QSize actualSize(const QSize& Size, QIcon::Mode, QIcon::State) override { return Size; }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int times = 1; times <= 4; ++times) sizes.push_back(FImage.size() * times);
        return sizes;
    }
    QIconEngine* clone() const override { return new TPixelIconEngine(FImage); }

private:
    QImage FImage;
};

} // namespace

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
    return QIcon(new TPixelIconEngine(std::move(q)));
}

namespace {

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
