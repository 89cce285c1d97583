// The one QApplication the dialog tests share: made before any test's fixture and ended
// before the process exits (Qt's input devices must not outlive it into static teardown).
#pragma once
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

inline std::unique_ptr<QApplication> TheApp;

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "editor_dialogs_test";
    static char* argv[] = {name, nullptr};
    if (!TheApp) TheApp = std::make_unique<QApplication>(argc, argv);
    return *TheApp;
}

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { App(); }
    void TearDown() override { TheApp.reset(); }
};

inline ::testing::Environment* const QtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);
