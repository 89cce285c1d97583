#include "ServiceDatabase.h"

#include "Files.h"
#include "LayerFiles.h"
#include "LastError.h"
#include "Services.h"
#include "SysUtils.h"

#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <sstream>
#include <thread>

namespace {

// Digits only, no sign, no blanks, at most 32 bits: what the writer writes.
std::optional<uint32_t> Number(const std::string& Text)
{
    if (Text.empty() || Text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// One block as read: which keys were there, and whether every value was one the writer writes.
struct TBlock {
    TService Service;
    unsigned Keys = 0;
    bool Sound = true;
};

constexpr unsigned kAllKeys = 0x7F;

// How long a change waits for another to end. Changes take milliseconds and only the layer's
// own privileged runs can hold the lock, so a wait this long means one of them is stuck.
constexpr auto kLockWait = std::chrono::seconds(2);

void Take(TBlock& Block, const std::string& Key, const std::string& Value)
{
    TService& s = Block.Service;
    bool sound = true;
    unsigned key = 0;
    if (Key == "DisplayName") {
        key = 1, s.DisplayName = Value, sound = OneLine(Value);
    } else if (Key == "ImagePath") {
        key = 2, s.ImagePath = Value, sound = !Value.empty() && OneLine(Value);
    } else {
        const std::optional<uint32_t> n = Number(Value);
        const uint32_t v = n.value_or(0);
        sound = n.has_value();
        if (Key == "Type")
            key = 4, s.Type = v, sound = sound && v == SERVICE_KERNEL_DRIVER;
        else if (Key == "Start")
            key = 8, s.Start = v;
        else if (Key == "ErrorControl")
            key = 16, s.ErrorControl = v;
        else if (Key == "State")
            key = 32, s.State = v, sound = sound && (v == SERVICE_STOPPED || v == SERVICE_RUNNING);
        else if (Key == "DeletePending")
            key = 64, s.DeletePending = v != 0, sound = sound && v <= 1;
    }
    if (!key) return; // a key of no meaning here
    Block.Keys |= key;
    Block.Sound = Block.Sound && sound;
}

} // namespace

std::vector<TService> ReadServiceDatabase(const std::string& Text)
{
    std::vector<TService> services;
    TBlock block;
    bool inBlock = false;
    const auto finish = [&] {
        if (inBlock && block.Sound && block.Keys == kAllKeys) services.push_back(std::move(block.Service));
        block = TBlock();
        inBlock = false;
    };
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);) {
        // CRs before the LF end the line too: a value that kept one would lose it at the next
        // write, which ends lines with LF alone.
        while (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            finish();
            inBlock = true;
            block.Service.Name = line.substr(1, line.size() - 2);
            continue;
        }
        const auto eq = line.find('=');
        if (inBlock && eq != std::string::npos) Take(block, line.substr(0, eq), line.substr(eq + 1));
    }
    finish();
    return services;
}

std::string WriteServiceDatabase(const std::vector<TService>& Services)
{
    std::ostringstream out;
    for (const TService& s : Services)
        out << '[' << s.Name << "]\nDisplayName=" << s.DisplayName << "\nType=" << s.Type << "\nStart=" << s.Start
            << "\nErrorControl=" << s.ErrorControl << "\nImagePath=" << s.ImagePath << "\nState=" << s.State
            << "\nDeletePending=" << (s.DeletePending ? 1 : 0) << "\n\n";
    return out.str();
}

bool OneLine(const std::string& Value)
{
    return std::none_of(Value.begin(), Value.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool SameServiceName(const std::string& A, const std::string& B)
{
    return SameText(A, B);
}

TServiceDatabase::TServiceDatabase(TUse Use)
    : FPath(GetWindowsDirectoryA() + "/SERVICES.INI"), FUse(Use), FError(ERROR_SUCCESS)
{
    if (!LayerFileTrusted(FPath)) {
        FError = ERROR_ACCESS_DENIED;
        return;
    }
    if (Use == TUse::Change && !Lock()) return;
    std::string text;
    // A handful of services fit in a few hundred bytes: anything far larger is damaged.
    const auto read = FileSystem().ReadWholeFile(FPath, text, 1 << 20, TLinks::Refuse);
    if (read == TFileSystem::TReadResult::Read) FServices = ReadServiceDatabase(text);
    // A database that is there but could not be read is never replaced: that would drop
    // every service it holds.
    if (read == TFileSystem::TReadResult::Failed) {
        FError = ERROR_ACCESS_DENIED;
        SayRefused(FPath, "it cannot be read whole (no regular file, unreadable or over 1 MiB)");
    }
}

TServiceDatabase::~TServiceDatabase()
{
    if (FLock >= 0) ::close(FLock);
}

bool TServiceDatabase::Ready() const
{
    if (FError != ERROR_SUCCESS) SetLastError(FError);
    return FError == ERROR_SUCCESS;
}

TService* TServiceDatabase::Find(const std::string& Name)
{
    auto it = std::find_if(FServices.begin(), FServices.end(),
                           [&](const TService& s) { return SameServiceName(s.Name, Name); });
    return it == FServices.end() ? nullptr : &*it;
}

void TServiceDatabase::Remove(const std::string& Name)
{
    std::erase_if(FServices, [&](const TService& s) { return SameServiceName(s.Name, Name); });
}

bool TServiceDatabase::Save()
{
    if (!Ready()) return false;
    if (FUse == TUse::Change) {
        // Each writer clears what writers killed before their rename left beside the file.
        RemoveStaleTemporaryFiles(GetWindowsDirectoryA());
        if (FileSystem().ReplaceWholeFile(FPath, WriteServiceDatabase(FServices), TLinks::Refuse)) return true;
    }
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}

// Waits at most kLockWait, then fails with 1055.
bool TServiceDatabase::Lock()
{
    FLock = OpenLayerLock(GetWindowsDirectoryA() + "/SERVICES.LCK");
    const auto deadline = std::chrono::steady_clock::now() + kLockWait;
    while (FError == ERROR_SUCCESS && (FLock < 0 || ::flock(FLock, LOCK_EX | LOCK_NB) != 0)) {
        if (FLock < 0 || (errno != EWOULDBLOCK && errno != EINTR))
            FError = ERROR_ACCESS_DENIED;
        else if (std::chrono::steady_clock::now() >= deadline)
            FError = ERROR_SERVICE_DATABASE_LOCKED;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return FError == ERROR_SUCCESS;
}
