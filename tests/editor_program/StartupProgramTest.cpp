// The program block as a process: the command line as a shell splits it, the start-up
// question while the settings file is missing, and the time to the main window.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

struct TShown {
    long long WallNs = 0;
    bool Question = false;
    bool Mirrored = false;
    int ExitStatus = -1;
    std::string Caption;
};

// Runs a copy of the probe standing in Folder (its program folder) with Args.
TShown RunProbe(const std::string& Folder, const std::vector<std::string>& Args)
{
    const std::string program = Folder + "/Keysmith591";
    if (!std::filesystem::exists(program)) std::filesystem::copy_file(STARTUP_PROBE, program);
    int out[2];
    EXPECT_EQ(pipe(out), 0);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        close(out[0]);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[512];
    for (ssize_t n; (n = read(out[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    TShown shown;
    std::istringstream words(text);
    shown.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    int question = 0, mirrored = 0;
    words >> shown.WallNs >> question >> mirrored;
    shown.Question = question != 0;
    shown.Mirrored = mirrored != 0;
    std::getline(words >> std::ws, shown.Caption);
    return shown;
}

TEST(StartupProgramTest, CommandLineAndQuestionAsTheProcessStarts)
{
    TTempDir dir;
    const std::string path = dir.File("my keypad.ckd");
    WriteFileText(path, "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\n");

    TShown plain = RunProbe(dir.Path(), {});
    EXPECT_EQ(plain.Caption, "Keysmith591 - untitled.ckd");
    EXPECT_TRUE(plain.Question);

    EXPECT_EQ(RunProbe(dir.Path(), {path}).Caption, "Keysmith591 - my keypad.ckd"); // quoted by the shell
    // The README's example definition.
    EXPECT_EQ(RunProbe(dir.Path(), {std::string(QUILL_TEST_SOURCE_DIR) + "/examples/my keypad.ckd"}).Caption,
              "Keysmith591 - my keypad.ckd");
    EXPECT_EQ(RunProbe(dir.Path(), {dir.File("my"), "keypad.ckd"}).Caption, "Key-Smith"); // unquoted
    // An argument that looks like one of Qt's own options is still the file the user named
    // (here one that is not there): Qt neither takes it away nor acts on it.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"-reverse"}, {"-platform", "x.ckd"}, {"-style", "x.ckd"}}) {
        const TShown odd = RunProbe(dir.Path(), args);
        EXPECT_EQ(odd.ExitStatus, 0) << args[0];
        EXPECT_EQ(odd.Caption, "Key-Smith") << args[0];
        EXPECT_FALSE(odd.Mirrored) << args[0];
    }
    WriteFileText(dir.File("-reverse"), "[GLOBAL_PARAMETERS]\nModel_Number=Keysmith591\n");
    EXPECT_EQ(RunProbe(dir.Path(), {dir.File("-reverse")}).Caption, "Keysmith591 - -reverse");

    // Any file of that name stops the question; a folder of that name does not.
    mkdir(dir.File("Keysmith591.ini").c_str(), 0755);
    EXPECT_TRUE(RunProbe(dir.Path(), {}).Question);
    rmdir(dir.File("Keysmith591.ini").c_str());
    WriteFileText(dir.File("Keysmith591.ini"), "");
    EXPECT_FALSE(RunProbe(dir.Path(), {}).Question);
}

} // namespace
