#include "About.h"
#include "QtTestApp.h"
#include "Dialogs.h"
#include "Paths.h"
#include "TestSupport.h"

#include <QTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class AboutTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    void TearDown() override { SetProgramFileName(""); }
};

TEST_F(AboutTest, VersionLineFromTheProgramFile)
{
    // This test program carries the editor's block "5.5.0.0".
    EXPECT_EQ(TfrmAbout().lblVersion->text(), "Version 5.5.0");
    SetProgramFileName(VERSION_PROBE_12);
    EXPECT_EQ(TfrmAbout().lblVersion->text(), "Version 12");
    SetProgramFileName(ARGV_RECORDER);
    EXPECT_EQ(TfrmAbout().lblVersion->text(), "Version NA");
    TTempDir dir;
    SetProgramFileName(dir.File("Keysmith591"));
    EXPECT_EQ(TfrmAbout().lblVersion->text(), "Version NA");
}

TEST_F(AboutTest, Form)
{
    TfrmAbout box;
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.size(), QSize(251, 170));
    EXPECT_TRUE(box.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(box.lblProduct->text(), "Keysmith Redefinition Software for Quillboard 591");
    box.show();
    QApplication::setActiveWindow(&box);
    EXPECT_EQ(box.focusWidget(), box.btnOk);
    QTest::mouseClick(box.btnOk, Qt::LeftButton);
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), mrOk);
}

TEST_F(AboutTest, CentredOnTheMainWindowByHalvesTowardZero)
{
    EXPECT_EQ(CentredOn(QRect(100, 50, 801, 601), QSize(251, 170)), QPoint(100 + 400 - 125, 50 + 300 - 85));
    // Near the screen's edge the box still centres on the window, partly off the screen.
    EXPECT_EQ(CentredOn(QRect(-700, -10, 300, 100), QSize(251, 170)), QPoint(-700 + 150 - 125, -10 + 50 - 85));
}

TEST_F(AboutTest, ShownModallyCentredAndFreed)
{
    QWidget main;
    main.setGeometry(-300, 40, 640, 480);
    main.show();
    QPoint seen, wanted;
    QPointer<QWidget> box;
    QTimer::singleShot(0, [&] {
        box = QApplication::activeModalWidget();
        ASSERT_TRUE(box);
        seen = box->frameGeometry().topLeft();
        wanted = CentredOn(main.frameGeometry(), box->frameGeometry().size());
        QTest::mouseClick(box->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    ShowAboutBox(main);
    EXPECT_EQ(seen, wanted);
    EXPECT_TRUE(box.isNull());
}

} // namespace
