// The desktop over X11, on the connection of Qt's xcb platform: windows of this process are
// real (never mapped) X windows, so other programs find them by title and post to them.
#pragma once
#include "Messages.h"

#include <memory>

// Null when Qt's platform is not xcb.
std::unique_ptr<TDesktop> MakeX11Desktop();
