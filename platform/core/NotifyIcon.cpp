#include "NotifyIcon.h"

#include <map>
#include <utility>

namespace {
std::map<std::pair<HWND, uint32_t>, NOTIFYICONDATA> Icons;
}

bool Shell_NotifyIconA(uint32_t Message, const NOTIFYICONDATA* Data)
{
    if (!Data || Data->cbSize != sizeof(NOTIFYICONDATA)) return false;
    NOTIFYICONDATA rec = *Data;
    rec.szTip[sizeof rec.szTip - 1] = '\0';
    const auto key = std::make_pair(rec.hWnd, rec.uID);
    const auto it = Icons.find(key);
    switch (Message) {
    case NIM_ADD:
        if (it != Icons.end()) return false;
        Icons[key] = rec;
        break;
    case NIM_DELETE:
        if (it == Icons.end()) return false;
        rec = it->second;
        Icons.erase(it);
        break;
    default:
        return false;
    }
    Desktop().NotifyIconChanged(Message, rec);
    return true;
}
