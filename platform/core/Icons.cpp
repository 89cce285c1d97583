#include "Icons.h"

#include <deque>

namespace {
std::deque<TIconImage> Icons; // handle n is entry n - 1; a deque keeps references valid
}

HICON CreateIconFromImage(const TIconImage& Image)
{
    Icons.push_back(Image);
    return static_cast<HICON>(Icons.size());
}

const TIconImage* IconImage(HICON Icon)
{
    return Icon >= 1 && Icon <= Icons.size() ? &Icons[Icon - 1] : nullptr;
}
