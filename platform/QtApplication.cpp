#include "QtApplication.h"

#include <QThreadPool>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {
char FallbackName[] = "quillboard";

// The name Qt gives its pooled threads, as the system shows it.
constexpr char PooledThreadName[] = "Thread (pooled)";

bool PooledThreadRunning()
{
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return false;
    bool found = false;
    while (dirent* task = readdir(tasks)) {
        if (task->d_name[0] == '.') continue;
        const std::string file = std::string("/proc/self/task/") + task->d_name + "/comm";
        if (FILE* f = std::fopen(file.c_str(), "r")) {
            char name[32] = {};
            if (std::fgets(name, sizeof name, f)) found = std::strncmp(name, PooledThreadName, std::strlen(PooledThreadName)) == 0;
            std::fclose(f);
        }
        if (found) break;
    }
    closedir(tasks);
    return found;
}
} // namespace

TQtArguments::TQtArguments(char* ProgramName) : Values{ProgramName ? ProgramName : FallbackName, nullptr} {}

QFont FormFont()
{
    // Named directly: asking for "MS Sans Serif" first would send every start through the
    // font system's search for a family that is not there.
    QFont f("Liberation Sans");
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(11);
    return f;
}

void EndPooledThreads()
{
    QThreadPool* pool = QThreadPool::globalInstance();
    if (!pool) return;
    pool->waitForDone();
    // Each has only its exit to run by now; the bound is for a system that never shows it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (PooledThreadRunning() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}
