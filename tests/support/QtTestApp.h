// The one QApplication a test program shares: made before any test's fixture and ended
// before the process exits (Qt's input devices and fonts must not outlive it into static
// teardown, and nothing of it may be left for the leak checker).
#pragma once
#include "QtApplication.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

inline std::unique_ptr<QApplication> TheApp;

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "quill_test";
    static char* argv[] = {name, nullptr};
    if (!TheApp) TheApp = std::make_unique<QApplication>(argc, argv);
    return *TheApp;
}

class TQtEnvironment : public ::testing::Environment {
public:
    void SetUp() override { App(); }
    void TearDown() override
    {
        EndPooledThreads();
        TheApp.reset();
    }
};

inline ::testing::Environment* const QtEnvironment = ::testing::AddGlobalTestEnvironment(new TQtEnvironment);
