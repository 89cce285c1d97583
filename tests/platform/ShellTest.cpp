#include "Paths.h"
#include "Shell.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {

namespace fs = std::filesystem;

struct TRecorded {
    std::string Cwd;
    std::string OpenFds;
    std::vector<std::string> Args;
};

// Parses what the recorder wrote: length-prefixed items, one a line.
TRecorded Parse(const std::string& Text)
{
    std::vector<std::string> items;
    size_t i = 0;
    while (i < Text.size()) {
        const size_t colon = Text.find(':', i);
        const size_t len = std::stoul(Text.substr(i, colon - i));
        items.push_back(Text.substr(colon + 1, len));
        i = colon + 1 + len + 1;
    }
    TRecorded r;
    if (items.size() >= 2) {
        r.Cwd = items[0];
        r.OpenFds = items[1];
        r.Args.assign(items.begin() + 2, items.end());
    }
    return r;
}

class ShellTest : public ::testing::Test {
protected:
    TTempDir Dir;
    std::string Log = Dir.File("argv.log");

    void SetUp() override { ::setenv("QUILL_ARGV_LOG", Log.c_str(), 1); }
    void TearDown() override { ::unsetenv("QUILL_ARGV_LOG"); }

    // The started program is not awaited: wait for its record to appear (in well under a
    // second; the bound leaves room for a loaded machine).
    bool WaitForRecord(TRecorded& R, int Ms = 20000)
    {
        for (int waited = 0; waited < Ms; waited += 10) {
            if (fs::exists(Log)) {
                R = Parse(ReadFileText(Log));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    TRecorded Run(const std::string& Params, const std::string& Folder = "")
    {
        EXPECT_GT(ShellExecuteA(nullptr, "", ARGV_RECORDER, Params, Folder, SW_SHOWNORMAL), 32u);
        TRecorded r;
        EXPECT_TRUE(WaitForRecord(r));
        return r;
    }
};

struct TSplitCase {
    const char* Name;
    const char* Text;
    std::vector<std::string> Args;
};

TEST(SplitCommandLine, SplitsAsThePlatformDoes)
{
    const TSplitCase cases[] = {
        {"empty", "", {}},
        {"only blanks", "  \t ", {}},
        {"blanks and tabs separate", " a  b\tc ", {"a", "b", "c"}},
        {"quotes group and vanish", "\"a  b\" c", {"a  b", "c"}},
        {"quotes inside a word", "ab\"c d\"e", {"abc de"}},
        {"empty quotes are an argument", "\"\" x", {"", "x"}},
        {"doubled quote inside quotes", "\"a\"\"b\"", {"a\"b"}},
        {"unclosed quote runs to the end", "\"a b", {"a b"}},
        {"backslash alone is literal", "a\\b c\\\\d", {"a\\b", "c\\\\d"}},
        {"escaped quote", "a\\\"b", {"a\"b"}},
        {"two backslashes then a quote", "\"a\\\\\" b", {"a\\", "b"}},
        {"three backslashes then a quote", "a\\\\\\\"b", {"a\\\"b"}},
        {"trailing backslashes", "a\\\\", {"a\\\\"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.Text), c.Args) << c.Name;
}

TEST(SplitCommandLine, QuoteArgumentRoundTrips)
{
    const char* texts[] = {"", "plain", "/tmp/two  blanks/file.ckd", "a\"b", "ends\\", "ends\\\\", "\\\"", "tab\there",
                           "\"quoted\"", "$(x) `y`; z"};
    for (const char* t : texts) EXPECT_EQ(SplitCommandLine(QuoteArgument(t)), std::vector<std::string>{t}) << t;
}

TEST_F(ShellTest, ArgumentsArriveExactlyAndStartNothing)
{
    const std::string marker1 = Dir.File("ran1"), marker2 = Dir.File("ran2"), marker3 = Dir.File("ran3");
    const std::string params = "plain \"two  blanks\" ; $(touch " + marker1 + ") `touch " + marker2 +
                               "` 'single' \"a\\\"b\" && touch " + marker3 + " > " + Dir.File("redirect") + " | *";
    const TRecorded r = Run(params);
    const std::vector<std::string> expected = {
        "plain", "two  blanks", ";", "$(touch", marker1 + ")", "`touch", marker2 + "`", "'single'", "a\"b",
        "&&", "touch", marker3, ">", Dir.File("redirect"), "|", "*"};
    EXPECT_EQ(r.Args, expected);
    for (const auto& m : {marker1, marker2, marker3, Dir.File("redirect")}) EXPECT_FALSE(fs::exists(m)) << m;
}

TEST_F(ShellTest, QuotedPathArrivesAsOneArgument)
{
    const std::string path = Dir.Path() + "/My  Files/odd \"name\"\\.ckd";
    EXPECT_EQ(Run(QuoteArgument(path)).Args, std::vector<std::string>{path});
}

TEST_F(ShellTest, StartedProgramInheritsNoFilesAndIsNotOurChild)
{
    const int leaked = ::open(Log.c_str(), O_WRONLY | O_CREAT, 0600); // not close-on-exec
    ASSERT_GE(leaked, 0);
    ::unlink(Log.c_str());
    const TRecorded r = Run("x");
    ::close(leaked);
    EXPECT_EQ(r.OpenFds, "");
    // Nothing is left for the caller to reap.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(ShellTest, FolderAndExeName)
{
    // "X.exe" names the program X in the same folder; a relative name is taken in the folder.
    fs::copy_file(ARGV_RECORDER, Dir.File("Keyburn591"));
    fs::create_directory(Dir.File("work"));
    EXPECT_GT(ShellExecuteA(nullptr, "", Dir.File("Keyburn591.exe"), "untitled.ckd", "", SW_SHOWNORMAL), 32u);
    TRecorded r;
    ASSERT_TRUE(WaitForRecord(r));
    EXPECT_EQ(r.Args, std::vector<std::string>{"untitled.ckd"});
    EXPECT_EQ(r.Cwd, fs::current_path().string());

    fs::remove(Log);
    EXPECT_GT(ShellExecuteA(nullptr, "open", "../Keyburn591.EXE", "", Dir.File("work"), SW_SHOWNORMAL), 32u);
    ASSERT_TRUE(WaitForRecord(r));
    EXPECT_EQ(r.Cwd, Dir.File("work"));
    EXPECT_TRUE(r.Args.empty());
}

TEST_F(ShellTest, FailureCodes)
{
    WriteFileText(Dir.File("plain.exe"), "");
    WriteFileText(Dir.File("plain"), "not runnable");
    WriteFileText(Dir.File("Manual.pdf"), "%PDF");
    struct TCase {
        const char* Name;
        std::string Verb, File, Folder;
        HINSTANCE Result;
    } cases[] = {
        {"missing program", "", Dir.File("Tapcheck.exe"), "", ERROR_FILE_NOT_FOUND},
        {"missing document", "open", Dir.File("Help/Keysmith.pdf"), "", ERROR_FILE_NOT_FOUND},
        {"missing quoted document", "open", "\"" + Dir.File("no such.bmp") + "\"", "", ERROR_FILE_NOT_FOUND},
        {"empty name", "open", "", "", ERROR_FILE_NOT_FOUND},
        {"not executable", "", Dir.File("plain.exe"), "", SE_ERR_ACCESSDENIED},
        {"missing folder", "", ARGV_RECORDER, Dir.File("nowhere"), ERROR_PATH_NOT_FOUND},
        {"unknown verb", "print", Dir.File("Manual.pdf"), "", SE_ERR_NOASSOC},
    };
    for (const auto& c : cases) EXPECT_EQ(ShellExecuteA(nullptr, c.Verb, c.File, "", c.Folder, SW_SHOWNORMAL), c.Result) << c.Name;
    EXPECT_FALSE(fs::exists(Log));
}

TEST_F(ShellTest, DocumentsGoToTheDesktopOpener)
{
    const std::string doc = Dir.File("Keycap Labels/blank  keys.bmp");
    fs::create_directory(Dir.File("Keycap Labels"));
    WriteFileText(doc, "BM");
    fs::create_directory(Dir.File("bin"));
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", Dir.File("bin").c_str(), 1);
    // No opener on the search path: the open fails.
    EXPECT_EQ(ShellExecuteA(nullptr, "open", "\"" + doc + "\"", "", "", SW_SHOWNORMAL), SE_ERR_NOASSOC);

    fs::copy_file(ARGV_RECORDER, Dir.File("bin/xdg-open"));
    EXPECT_GT(ShellExecuteA(nullptr, "open", "\"" + doc + "\"", "ignored params", "", SW_SHOWNORMAL), 32u);
    ::setenv("PATH", saved.c_str(), 1);
    TRecorded r;
    ASSERT_TRUE(WaitForRecord(r));
    EXPECT_EQ(r.Args, std::vector<std::string>{doc});
}

class TRecordingLauncher : public TProcessLauncher {
public:
    TRecordingLauncher() { SetProcessLauncher(this); }
    ~TRecordingLauncher() override { SetProcessLauncher(nullptr); }
    std::string FindProgram(const std::string& Name) override { return Opener.empty() ? "" : Opener + "/" + Name; }
    int Start(const TProcessStart& R) override
    {
        Starts.push_back(R);
        return Error;
    }
    std::string Opener;
    int Error = 0;
    std::vector<TProcessStart> Starts;
};

TEST_F(ShellTest, SeamSeesEveryStartAndDecidesItsOutcome)
{
    TRecordingLauncher seam;
    fs::copy_file(ARGV_RECORDER, Dir.File("Keyburn591"));
    EXPECT_EQ(ShellExecuteA(nullptr, "", Dir.File("Keyburn591.exe"), "\"/a b/c.ckd\"", "", SW_SHOWNORMAL), SHELL_SUCCESS);
    seam.Error = ENOEXEC;
    EXPECT_EQ(ShellExecuteA(nullptr, "", Dir.File("Keyburn591.exe"), "", "", SW_SHOWNORMAL), ERROR_BAD_FORMAT);
    EXPECT_EQ(ShellExecuteA(nullptr, "open", Dir.File("Keyburn591"), "", "", SW_SHOWNORMAL), SE_ERR_NOASSOC);
    ASSERT_EQ(seam.Starts.size(), 2u);
    EXPECT_EQ(seam.Starts[0].Program, Dir.File("Keyburn591"));
    EXPECT_EQ(seam.Starts[0].Arguments, std::vector<std::string>{"/a b/c.ckd"});
    seam.Opener = "/opt";
    seam.Error = 0;
    // "open" on a file that is not named as a program opens it as a document, runnable or not.
    EXPECT_EQ(ShellExecuteA(nullptr, "open", Dir.File("Keyburn591"), "", "", SW_SHOWNORMAL), SHELL_SUCCESS);
    EXPECT_EQ(seam.Starts.back().Program, "/opt/xdg-open");
    EXPECT_EQ(seam.Starts.back().Arguments, std::vector<std::string>{Dir.File("Keyburn591")});
    EXPECT_FALSE(fs::exists(Log));
}

TEST(ProgramFolder, IsTheFolderOfTheRunningFile)
{
    EXPECT_EQ(ProgramFileName(), fs::canonical("/proc/self/exe").string());
    EXPECT_EQ(ProgramFolder(), fs::canonical("/proc/self/exe").parent_path().string() + "/");
    SetProgramFileName("/opt/quill/Keysmith591");
    EXPECT_EQ(ProgramFolder(), "/opt/quill/");
    SetProgramFileName("");
    EXPECT_EQ(ProgramFileName(), fs::canonical("/proc/self/exe").string());
}

} // namespace
