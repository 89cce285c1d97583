#include "QtTestApp.h"
#include "Dialogs.h"
#include "KeypadClass.h"
#include "Params.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class ParamsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        Keypad = &Model;
        Dlg = std::make_unique<TfrmParameters>();
        Dlg->SetModified = [this](bool Flag) { Marks.push_back(Flag); };
    }
    void TearDown() override
    {
        Dlg.reset();
        Keypad = nullptr;
    }
    void Show()
    {
        Dlg->show();
        ASSERT_TRUE(Dlg->isVisible());
    }
    void Apply()
    {
        ASSERT_TRUE(Dlg->btnApply->isEnabled());
        QTest::mouseClick(Dlg->btnApply, Qt::LeftButton);
        EXPECT_FALSE(Dlg->isVisible());
        EXPECT_EQ(Dlg->result(), mrOk);
    }
    // Any change, so that Apply can be pressed, that stores nothing of its own.
    void ChangeAndBack()
    {
        const int v = Dlg->spinDownloadDelay->value();
        Dlg->spinDownloadDelay->setValue(v == 0 ? 1 : 0);
        Dlg->spinDownloadDelay->setValue(v);
    }

    TKeypadClass Model;
    std::unique_ptr<TfrmParameters> Dlg;
    std::vector<bool> Marks;
};

TEST_F(ParamsTest, FormAsDesigned)
{
    EXPECT_EQ(Dlg->windowTitle(), "Keypad Properties");
    EXPECT_EQ(Dlg->size(), QSize(350, 231));
    EXPECT_EQ(Dlg->radgrpLED->title(), " LED Function ");
    QStringList items;
    for (int i = 0; i < Dlg->radgrpLED->ItemCount(); ++i) items << Dlg->radgrpLED->Item(i)->text();
    EXPECT_EQ(items, (QStringList{"Not Used", "CapsLock", "NumLock", "Level Indicator", "Host/Macro Control"}));
    EXPECT_EQ(Dlg->spinCharacterPacing->minimum(), 2);
    EXPECT_EQ(Dlg->spinCharacterPacing->maximum(), 20);
    EXPECT_EQ(Dlg->spinCharacterPacing->singleStep(), 2);
    EXPECT_EQ(Dlg->spinDownloadDelay->minimum(), 0);
    EXPECT_EQ(Dlg->spinDownloadDelay->maximum(), 20);
    EXPECT_EQ(Dlg->spinDownloadDelay->toolTip(), "Slows download on fast PC's.");
    EXPECT_TRUE(Dlg->radbtnKeyRoll2->isChecked());
    EXPECT_EQ(Dlg->findChild<QPushButton*>("btnApply"), Dlg->btnApply);
    EXPECT_EQ(Dlg->btnCancel->text(), "&Cancel");
}

TEST_F(ParamsTest, ShowingLoadsTheDefinitionAndDisablesApply)
{
    Model.SetCharacterPacing(4);
    Model.SetDownloadDelay(7);
    Model.SetLEDFunction(LedFunctionNumLock);
    Model.SetKeyRollOver(1);
    Show();
    EXPECT_EQ(Dlg->spinCharacterPacing->value(), 8);
    EXPECT_EQ(Dlg->spinDownloadDelay->value(), 7);
    EXPECT_EQ(Dlg->radgrpLED->ItemIndex(), 2);
    EXPECT_TRUE(Dlg->radbtnKeyRoll1->isChecked());
    EXPECT_EQ(KeyRoll, 1);
    EXPECT_FALSE(Dlg->btnApply->isEnabled());
}

TEST_F(ParamsTest, ValuesOutsideTheRangesAreBroughtIn)
{
    struct TCase {
        uint8_t Pacing, Delay, Led;
        int ShownPacing, ShownDelay, ShownLed;
        uint8_t StoredPacing, StoredDelay, StoredLed;
    } cases[] = {
        {0, 0, 0, 2, 0, 0, 1, 0, 0},
        {15, 50, 7, 20, 20, 4, 10, 20, 4},
        {10, 20, 4, 20, 20, 4, 10, 20, 4},
    };
    for (const auto& c : cases) {
        Model.SetCharacterPacing(c.Pacing);
        Model.SetDownloadDelay(c.Delay);
        Model.SetLEDFunction(c.Led);
        Show();
        EXPECT_EQ(Dlg->spinCharacterPacing->value(), c.ShownPacing);
        EXPECT_EQ(Dlg->spinDownloadDelay->value(), c.ShownDelay);
        EXPECT_EQ(Dlg->radgrpLED->ItemIndex(), c.ShownLed);
        ChangeAndBack();
        Apply();
        EXPECT_EQ(Model.CharacterPacing(), c.StoredPacing);
        EXPECT_EQ(Model.DownloadDelay(), c.StoredDelay);
        EXPECT_EQ(Model.LEDFunction(), c.StoredLed);
    }
}

TEST_F(ParamsTest, ApplyMarksModifiedEvenWhenNothingDiffers)
{
    Show();
    const TKeypadClass before = Model;
    ChangeAndBack();
    Apply();
    EXPECT_EQ(Marks, std::vector<bool>{true});
    EXPECT_EQ(Model.CharacterPacing(), before.CharacterPacing());
    EXPECT_EQ(Model.LEDFunction(), before.LEDFunction());
    EXPECT_EQ(Model.KeyRollOver(), before.KeyRollOver());
}

TEST_F(ParamsTest, CancelAndCloseBoxStoreNothing)
{
    Model.SetLEDFunction(LedFunctionCapsLock);
    for (bool useCloseBox : {false, true}) {
        Show();
        Dlg->radgrpLED->Item(4)->click();
        Dlg->spinCharacterPacing->setValue(16);
        Dlg->radbtnKeyRoll1->click();
        if (useCloseBox) Dlg->reject();
        else QTest::mouseClick(Dlg->btnCancel, Qt::LeftButton);
        EXPECT_FALSE(Dlg->isVisible());
        EXPECT_EQ(Dlg->result(), mrCancel);
        EXPECT_EQ(Model.LEDFunction(), LedFunctionCapsLock);
        EXPECT_EQ(Model.CharacterPacing(), 2);
        EXPECT_EQ(Model.KeyRollOver(), 2);
        EXPECT_TRUE(Marks.empty());
    }
    // The next showing holds the definition's values again, not the abandoned ones.
    Show();
    EXPECT_EQ(Dlg->radgrpLED->ItemIndex(), 1);
    EXPECT_EQ(Dlg->spinCharacterPacing->value(), 4);
    EXPECT_TRUE(Dlg->radbtnKeyRoll2->isChecked());
}

TEST_F(ParamsTest, KeyRollOver)
{
    Model.SetKeyRollOver(2);
    Show();
    EXPECT_TRUE(Dlg->radbtnKeyRoll2->isChecked());
    QTest::mouseClick(Dlg->radbtnKeyRoll1, Qt::LeftButton);
    EXPECT_TRUE(Dlg->btnApply->isEnabled());
    Apply();
    EXPECT_EQ(Model.KeyRollOver(), 1);

    // A file's 3 survives while "2" was already checked...
    Model.SetKeyRollOver(2);
    Show();
    Dlg->btnCancel->click();
    Model.SetKeyRollOver(3);
    Show();
    EXPECT_TRUE(Dlg->radbtnKeyRoll2->isChecked());
    ChangeAndBack();
    Apply();
    EXPECT_EQ(Model.KeyRollOver(), 3);
    // ...and becomes 2 when checking "2" counts as a click.
    Model.SetKeyRollOver(1);
    Show();
    Dlg->btnCancel->click();
    Model.SetKeyRollOver(3);
    Show();
    EXPECT_TRUE(Dlg->radbtnKeyRoll2->isChecked());
    EXPECT_EQ(KeyRoll, 2);
}

TEST_F(ParamsTest, TypedPacing)
{
    Show();
    Dlg->spinCharacterPacing->setFocus();
    Dlg->spinCharacterPacing->selectAll();
    QTest::keyClicks(Dlg->spinCharacterPacing, "7");
    EXPECT_TRUE(Dlg->btnApply->isEnabled());
    Apply();
    EXPECT_EQ(Model.CharacterPacing(), 3);

    // An emptied field counts as the minimum.
    Model.SetCharacterPacing(9);
    Show();
    Dlg->spinCharacterPacing->setFocus();
    Dlg->spinCharacterPacing->selectAll();
    QTest::keyClick(Dlg->spinCharacterPacing, Qt::Key_Backspace);
    EXPECT_EQ(Dlg->spinCharacterPacing->Value(), 2);
    Apply();
    EXPECT_EQ(Model.CharacterPacing(), 1);
}

TEST_F(ParamsTest, EveryControlEnablesApply)
{
    struct TCase {
        const char* Name;
        std::function<void(TfrmParameters&)> Change;
    } cases[] = {
        {"LED item", [](TfrmParameters& d) { QTest::mouseClick(d.radgrpLED->Item(0), Qt::LeftButton); }},
        {"pacing", [](TfrmParameters& d) { d.spinCharacterPacing->stepUp(); }},
        {"delay", [](TfrmParameters& d) { d.spinDownloadDelay->stepUp(); }},
        {"roll-over 1", [](TfrmParameters& d) { QTest::mouseClick(d.radbtnKeyRoll1, Qt::LeftButton); }},
        {"roll-over 2", [](TfrmParameters& d) { QTest::mouseClick(d.radbtnKeyRoll2, Qt::LeftButton); }},
    };
    for (const auto& c : cases) {
        Show();
        EXPECT_FALSE(Dlg->btnApply->isEnabled()) << c.Name;
        c.Change(*Dlg);
        EXPECT_TRUE(Dlg->btnApply->isEnabled()) << c.Name;
        Dlg->btnCancel->click();
    }
}

} // namespace
