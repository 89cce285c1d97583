// The on-screen message boxes and file dialogs, driven while they are open.
#include "QtTestApp.h"
#include "Params.h"
#include "QtDialogs.h"
#include "Startup.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Runs Act on the modal dialog that opens next, once it is on the screen.
template <class T>
void WhenOpen(std::function<void(T&)> Act)
{
    QTimer::singleShot(0, [Act] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        Act(*d);
    });
}

class QtDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    TQtDialogSeam Seam;
    TTempDir Dir;
};

TEST_F(QtDialogsTest, FilterListShowsTheDescriptionsExactly)
{
    struct Row {
        const char* Filter;
        int Index;
        QStringList Shown;
    };
    for (const Row& row :
         {Row{"Custom Keyboard Definition (*.ckd)|*.ckd", 1, {"Custom Keyboard Definition (*.ckd)"}},
          Row{"Custom Keyboard Definition  Files|*.ckd", 1, {"Custom Keyboard Definition  Files"}},
          Row{"Keycap Templates  (*.bmp)|*.bmp|Keycap Documents  (*.doc)|*.doc|All Files  (*.*)|*.*", 3,
              {"Keycap Templates  (*.bmp)", "Keycap Documents  (*.doc)", "All Files  (*.*)"}}}) {
        TFileDialog d(TFileDialogKind::Open);
        d.Filter = row.Filter;
        d.FilterIndex = row.Index;
        TQtFileDialog dlg(d, nullptr);
        auto* types = dlg.findChild<QComboBox*>("fileTypeCombo");
        ASSERT_NE(types, nullptr);
        QStringList shown;
        for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
        EXPECT_EQ(shown, row.Shown) << row.Filter;
        EXPECT_EQ(dlg.ChosenFilterIndex(), row.Index) << row.Filter;
        // The entry shown is the one that filters.
        auto* files = dlg.findChild<QFileSystemModel*>();
        ASSERT_NE(files, nullptr);
        EXPECT_EQ(files->nameFilters(), QStringList{row.Index == 3 ? "*.*" : "*.ckd"}) << row.Filter;
    }
}

TEST_F(QtDialogsTest, TypedNameWithDoubleQuotesIsOneName)
{
    const QString typed = "my \"quoted\" keypad";
    const std::string expected = Dir.File("my \"quoted\" keypad.ckd");
    auto typeAndEnter = [typed](TQtFileDialog& d) {
        auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        if (d.isVisible()) d.reject(); // not taken: end the test's dialog
    };

    TFileDialog save(TFileDialogKind::Save);
    save.InitialDir = Dir.Path();
    save.DefaultExt = "ckd";
    save.Filter = "Custom Keyboard Definition  Files|*.ckd";
    save.FileName = "untitled.ckd";
    WhenOpen<TQtFileDialog>(typeAndEnter);
    ASSERT_TRUE(Seam.ExecuteFileDialog(save));
    EXPECT_EQ(save.FileName, expected);

    WriteFileText(expected, "[GLOBAL_PARAMETERS]\n");
    TFileDialog open(TFileDialogKind::Open);
    open.InitialDir = Dir.Path();
    open.DefaultExt = "ckd";
    open.Filter = "Custom Keyboard Definition (*.ckd)|*.ckd";
    WhenOpen<TQtFileDialog>(typeAndEnter);
    ASSERT_TRUE(Seam.ExecuteFileDialog(open));
    EXPECT_EQ(open.FileName, expected);
}

// Wide boxes size themselves as they are shown and are centred at their final size. Every
// window opened while the start-up question (which stays on top) is up must come above it, or
// nothing in it could be answered, and a window shown again later must no longer stay on top.
TEST_F(QtDialogsTest, WindowsOpenCentredAndAboveTheQuestion)
{
    const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
    TfrmParameters properties;
    auto message = [this](const char* Text) { return [this, Text] { Seam.ShowMessage(TMessageRequest{"Error", Text, TMsgIcon::Stop}); }; };
    TFileDialog open(TFileDialogKind::Open);
    open.InitialDir = Dir.Path();
    struct Row {
        const char* Name;
        std::function<void()> Show;
        bool Centred;
    };
    const std::vector<Row> rows{
        {"long message",
         message("Could not find \"Keyburn591.exe\" loader program.  Make sure it is located in the same directory as "
                 "this application."),
         true},
        {"LED message", message("The LED will not operate in your macro unless you change the LED mode in the Properties panel."), true},
        {"short message", message("Not a Keysmith591 file!"), true},
        {"Keypad Properties", [&] { properties.exec(); }, true},
        {"open dialog", [&] { Seam.ExecuteFileDialog(open); }, false},
    };
    TStartupForm question;
    for (const bool questionUp : {false, true, false}) {
        question.setVisible(questionUp);
        for (const Row& row : rows) {
            QRect shown;
            bool onTop = !questionUp;
            WhenOpen<QDialog>([&](QDialog& d) {
                shown = d.geometry();
                onTop = d.windowFlags() & Qt::WindowStaysOnTopHint;
                d.done(0);
            });
            row.Show();
            EXPECT_EQ(onTop, questionUp) << row.Name << (questionUp ? " with" : " without") << " the question";
            if (row.Centred) {
                EXPECT_LE((shown.center() - centre).manhattanLength(), 2) << row.Name;
            }
        }
    }
}

} // namespace
