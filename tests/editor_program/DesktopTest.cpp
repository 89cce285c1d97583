// Keysmith591 as a process on a desktop of its own (Xvfb and openbox, a window manager that
// frames, places and minimises windows as users' desktops do), while the start-up question is
// up: where each window stands, whether it opens above the question, and the question itself.
#include "TestSupport.h"
#include "VirtualKeypad.h"
#include "X11Session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>

namespace {

struct TFrame {
    int X = 0, Y = 0, Width = 0, Height = 0;
};

class EditorDesktop : public ::testing::Test {
protected:
    TX11Session X{false};
    TTempDir Folder; // the program folder, without the settings file: the question is asked

    std::string Id(unsigned long W) { return std::to_string(W); }

    unsigned long Shown(const std::string& Title)
    {
        std::vector<unsigned long> found;
        X.WaitFor([&] { return !(found = X.WindowsNamed(Title, 0, true)).empty(); });
        return found.empty() ? 0 : found.front();
    }

    // The window with the frame the window manager drew around it.
    TFrame Outer(unsigned long W)
    {
        TFrame f;
        std::stringstream info(X.Run({"xwininfo", "-id", Id(W)}));
        for (std::string line; std::getline(info, line);) {
            const auto colon = line.find(':');
            if (colon == std::string::npos) continue;
            const int v = std::atoi(line.c_str() + colon + 1);
            if (line.find("Absolute upper-left X") != std::string::npos) f.X = v;
            if (line.find("Absolute upper-left Y") != std::string::npos) f.Y = v;
            if (line.find("  Width") == 0) f.Width = v;
            if (line.find("  Height") == 0) f.Height = v;
        }
        const std::string extents = X.Run({"xprop", "-id", Id(W), "_NET_FRAME_EXTENTS"});
        int left = 0, right = 0, top = 0, bottom = 0;
        std::sscanf(extents.c_str() + std::min(extents.find('='), extents.size()), "= %d, %d, %d, %d", &left, &right, &top,
                    &bottom);
        return {f.X - left, f.Y - top, f.Width + left + right, f.Height + top + bottom};
    }

    // Whether the window manager stacks Upper above Lower.
    bool Above(unsigned long Upper, unsigned long Lower)
    {
        std::string list = X.Run({"xprop", "-root", "_NET_CLIENT_LIST_STACKING"}); // bottom first
        std::replace(list.begin(), list.end(), '\n', ',');
        char upper[32], lower[32];
        std::snprintf(upper, sizeof upper, "0x%lx,", Upper);
        std::snprintf(lower, sizeof lower, "0x%lx,", Lower);
        const auto u = list.find(upper), l = list.find(lower);
        return u != std::string::npos && l != std::string::npos && u > l;
    }
    bool Minimised(unsigned long W) { return X.Run({"xprop", "-id", Id(W), "WM_STATE"}).find("Iconic") != std::string::npos; }
    void Click(unsigned long W, int Left, int Top) { X.Run({"xdotool", "mousemove", "--window", Id(W), std::to_string(Left), std::to_string(Top), "click", "1"}); }
    void Key(const std::string& Name) { X.Run({"xdotool", "key", Name}); }
};

TEST_F(EditorDesktop, WindowsOverTheStartupQuestion)
{
    std::filesystem::copy_file(ProgramDir() + "/Keysmith591", Folder.File("Keysmith591"));
    X.Start({Folder.File("Keysmith591")});
    const unsigned long main = Shown("Keysmith591 - untitled.ckd");
    const unsigned long question = Shown("Keysmith");
    ASSERT_NE(main, 0u);
    ASSERT_NE(question, 0u);
    const int screenWidth = 1024, screenHeight = 768;

    // Minimised by the window manager, the question comes back by itself.
    X.Run({"xdotool", "windowminimize", Id(question)});
    EXPECT_TRUE(X.WaitFor([&] { return !Minimised(question); })) << "the question stays minimised";

    // Keypad Properties, centred on every showing and above the question.
    for (int showing = 1; showing <= 2; ++showing) {
        Click(main, 277, 18);
        const unsigned long properties = Shown("Keypad Properties");
        ASSERT_NE(properties, 0u) << showing;
        TFrame f;
        EXPECT_TRUE(X.WaitFor([&] {
            f = Outer(properties);
            return std::abs(f.X - (screenWidth - f.Width) / 2) <= 1 && std::abs(f.Y - (screenHeight - f.Height) / 2) <= 1;
        })) << "showing " << showing << " at " << f.X << "," << f.Y;
        EXPECT_TRUE(Above(properties, question)) << showing;
        Key("Escape");
        X.WaitFor([&] { return X.WindowsNamed("Keypad Properties", 0, true).empty(); });
    }

    // About, centred on the main window by their outer sizes, also where that is partly off
    // the screen.
    X.Run({"xdotool", "windowmove", Id(main), "300", "600"});
    X.WaitFor([&] { return Outer(main).Y > 500; });
    const TFrame m = Outer(main);
    Click(main, 466, 18);
    Key("a");
    const unsigned long about = Shown("About");
    ASSERT_NE(about, 0u);
    TFrame a;
    EXPECT_TRUE(X.WaitFor([&] {
        a = Outer(about);
        return a.X == m.X + m.Width / 2 - a.Width / 2 && a.Y == m.Y + m.Height / 2 - a.Height / 2;
    })) << "About at " << a.X << "," << a.Y << " for the main window at " << m.X << "," << m.Y;
    EXPECT_GT(a.Y + a.Height, screenHeight);
    Key("Return");
    X.WaitFor([&] { return X.WindowsNamed("About", 0, true).empty(); });

    // Once those are closed, the question answers again.
    const TFrame q = Outer(question);
    X.Run({"xdotool", "mousemove", std::to_string(q.X + q.Width / 2), std::to_string(q.Y + q.Height - 24), "click", "1"});
    EXPECT_TRUE(X.WaitFor([&] { return X.WindowsNamed("Keysmith", 0, true).empty(); })) << "the question did not take OK";
}

// On a desktop scaled by 200 % the main window is larger than the screen (1262 x 956 screen
// pixels on 1024 x 768): it stands with its title bar on the screen, where it can be moved.
TEST_F(EditorDesktop, MainWindowLargerThanTheScreenKeepsItsTitleBarOnIt)
{
    std::filesystem::copy_file(ProgramDir() + "/Keysmith591", Folder.File("Keysmith591"));
    WriteFileText(Folder.File("Keysmith591.ini"), "");
    X.Start({Folder.File("Keysmith591")}, {"QT_SCALE_FACTOR=2"});
    const unsigned long main = Shown("Keysmith591 - untitled.ckd");
    ASSERT_NE(main, 0u);
    TFrame f;
    EXPECT_TRUE(X.WaitFor([&] {
        f = Outer(main);
        // At the screen's edge, to within one window pixel (a frame of one screen pixel is
        // half a window pixel here).
        return f.Width > 1024 && f.X >= 0 && f.X < 2 && f.Y >= 0 && f.Y < 2;
    })) << "the frame at " << f.X << "," << f.Y << ", " << f.Width << "x" << f.Height;
}

// The X server's end (a logout, a crash) while the editor runs: Qt ends the program with exit
// status 1, also with a dialog of its own up, whose loop is the one running then.
struct TServerGoneRow {
    const char* Name;
    int ClickX;        // the tool button that opens the window (0: none)
    const char* Title; // the window then on the screen
};

void PrintTo(const TServerGoneRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

class EditorServerGone : public EditorDesktop, public ::testing::WithParamInterface<TServerGoneRow> {};

TEST_P(EditorServerGone, EndsWithStatus1)
{
    std::filesystem::copy_file(ProgramDir() + "/Keysmith591", Folder.File("Keysmith591"));
    WriteFileText(Folder.File("Keysmith591.ini"), ""); // the question was answered before
    const pid_t pid = X.Start({Folder.File("Keysmith591")});
    const unsigned long main = Shown("Keysmith591 - untitled.ckd");
    ASSERT_NE(main, 0u);
    if (GetParam().ClickX != 0) Click(main, GetParam().ClickX, 18);
    ASSERT_NE(Shown(GetParam().Title), 0u);
    X.KillServer();
    EXPECT_EQ(X.Wait(pid, 60000), 1) << "-1: did not end; 128 + n: ended by signal n";
}

INSTANTIATE_TEST_SUITE_P(States, EditorServerGone,
                         ::testing::Values(TServerGoneRow{"Idle", 0, "Keysmith591 - untitled.ckd"},
                                           TServerGoneRow{"WithKeypadPropertiesOpen", 277, "Keypad Properties"},
                                           TServerGoneRow{"WithTheOpenDialogOpen", 88, "Open Redefinition File"}),
                         [](const ::testing::TestParamInfo<TServerGoneRow>& Info) { return std::string(Info.param.Name); });

} // namespace
