// The program's main icon: a keypad with its LED lit, 16 x 16 in 16 colours.
#pragma once
#include "Icons.h"

namespace tray {

TIconImage MainIconImage();

} // namespace tray
