// Stand-ins the tests put behind the layer's seams.
#pragma once
#include "Dialogs.h"
#include "Files.h"

#include <sys/types.h>

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Records every message box and file dialog and answers them from queues; an unanswered
// message box gets its escape result, an unanswered file dialog is cancelled.
class TRecordingDialogs : public TDialogSeam {
public:
    TRecordingDialogs() { SetDialogSeam(this); }
    ~TRecordingDialogs() override { SetDialogSeam(nullptr); }

    int ShowMessage(const TMessageRequest& Request) override;
    bool ExecuteFileDialog(TFileDialog& Dialog) override;

    std::vector<TMessageRequest> Messages;
    std::vector<TFileDialog> FileDialogs;  // as the program set them up
    std::deque<int> Answers;               // results for the next message boxes
    std::deque<std::string> FileAnswers;   // "" cancels
    std::function<void(const TMessageRequest&)> OnMessage; // runs while the box is "open"

    std::vector<std::string> Texts() const;
};

// The real file system, but with writes refused (the old file left as it is).
class TRefusingFileSystem : public TFileSystem {
public:
    TRefusingFileSystem() { SetFileSystem(this); }
    ~TRefusingFileSystem() override { SetFileSystem(nullptr); }
    bool ReplaceWholeFile(const std::string&, const std::string&, TLinks) override
    {
        ++Refused;
        return false;
    }
    int Refused = 0;
};

// Serves one file's content from memory for every path, and keeps what a save writes.
class TMemoryFileSystem : public TFileSystem {
public:
    std::string Data;
    TReadResult ReadWholeFile(const std::string&, std::string& Out, size_t MaxSize, TLinks) override
    {
        if (Data.size() > MaxSize) return TReadResult::Failed;
        Out = Data;
        return TReadResult::Read;
    }
    bool ReplaceWholeFile(const std::string&, const std::string& Out, TLinks) override
    {
        Data = Out;
        return true;
    }
};

// A fresh folder under the build's temporary area, removed with the object.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    const std::string& Path() const { return FPath; }
    std::string File(const std::string& Name) const { return FPath + "/" + Name; }

private:
    std::string FPath;
};

std::string ReadFileText(const std::string& Path);
// Whether process Pid has the file at Path open (a lock file it waits for, for instance).
bool HasOpen(pid_t Pid, const std::string& Path);
// While it lives, renames the file at Path away and back again and again, as a save that
// replaces the file does: the name is now and then without a file.
class TRenamingRace {
public:
    explicit TRenamingRace(const std::string& Path);
    ~TRenamingRace();

private:
    std::atomic<bool> FStop{false};
    std::thread FMover;
};

// Runs Body in a child process: true when it ended by itself, with status 0, within Seconds
// (the child is killed after that, so a hang fails the test instead of stopping it). What the
// tests run ends in well under a second; their bounds leave room for a loaded machine.
bool EndsWithin(int Seconds, const std::function<void()>& Body);
void WriteFileText(const std::string& Path, const std::string& Text);

// A file the shell takes for a program.
void MakeExecutable(const std::string& Path);
