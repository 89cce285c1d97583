// The tray utility's icon as the notification area asks for it, at the sizes areas give an icon
// and at the run's desktop scale: sharp (only the icon's own colours, nothing blended) and
// even (each of its pixels drawn as the same number of screen pixels).
#include "QtTestApp.h"

#include "Icons.h"
#include "MainIcon.h"
#include "QtDesktop.h"

#include <gtest/gtest.h>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <map>

namespace {

TEST(TrayIconFit, SharpAndEvenAtEverySize)
{
    App();
    const TIconImage image = tray::MainIconImage();
    const QIcon icon = QtIconOf(CreateIconFromImage(image));
    std::map<QRgb, int> own; // screen pixels of each colour at one screen pixel per pixel
    for (uint8_t i : image.Pixels)
        if (qAlpha(image.Palette[i]) != 0) ++own[image.Palette[i]];
    const qreal ratio = App().devicePixelRatio();
    for (int size : {16, 22, 24, 32}) {
        const QPixmap drawn = icon.pixmap(QSize(size, size), ratio);
        EXPECT_EQ(drawn.deviceIndependentSize().toSize(), QSize(size, size)) << size;
        EXPECT_EQ(drawn.devicePixelRatio(), ratio) << size;
        const QImage pixels = drawn.toImage().convertToFormat(QImage::Format_ARGB32);
        std::map<QRgb, int> shown;
        for (int y = 0; y < pixels.height(); ++y)
            for (int x = 0; x < pixels.width(); ++x)
                if (qAlpha(pixels.pixel(x, y)) != 0) ++shown[pixels.pixel(x, y)];
        // Screen pixels per pixel of the icon, taken from the first of its own colours shown: a
        // blended colour, the fault looked for, has no count of its own to divide by.
        int times = 0;
        for (const auto& [colour, count] : shown)
            if (own.count(colour)) {
                times = count / own.at(colour);
                break;
            }
        EXPECT_GE(times, 1) << size;
        for (const auto& [colour, count] : shown)
            EXPECT_EQ(count, own.count(colour) ? own[colour] * times : -1)
                << "size " << size << " at " << ratio << ": colour " << std::hex << colour << " not drawn evenly";
    }
}

} // namespace
