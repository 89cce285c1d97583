// Each program started where no X display can be opened: one line that names the display,
// and status 1 (Qt alone would abort).
#include "VirtualKeypad.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

TEST(NoDisplay, EachProgramNamesTheDisplayAndEndsWithStatus1)
{
    struct Row {
        const char* Program;
        const char* Display; // "" leaves DISPLAY unset
        const char* Line;
    };
    // Display 65000: one no X server is started on.
    for (const Row& row : {Row{"Keysmith591", ":65000", "Keysmith591: cannot open X display \":65000\"\n"},
                           Row{"Keyburn591", "", "Keyburn591: cannot open X display: DISPLAY is not set\n"},
                           Row{"QuillboardLED", ":65000", "QuillboardLED: cannot open X display \":65000\"\n"}}) {
        const std::string command = std::string("env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY ") +
                                    (*row.Display ? std::string("DISPLAY=") + row.Display + " " : "") + "'" +
                                    ProgramDir() + "/" + row.Program + "' 2>&1";
        FILE* out = popen(command.c_str(), "r");
        ASSERT_NE(out, nullptr);
        std::string said;
        char buf[256];
        while (size_t n = fread(buf, 1, sizeof buf, out)) said.append(buf, n);
        const int status = pclose(out);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << row.Program << " ended with " << status;
        EXPECT_EQ(said, row.Line) << row.Program;
    }
}
