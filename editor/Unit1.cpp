// The main window's handlers: the window operations the definition file routines call, the
// keypad picture, levels and grid, and the composing of macros.
#include "Unit1.h"

#include <algorithm>

#include "Forms.h"

#include <QCursor>
#include <QKeyEvent>
#include <QShowEvent>

bool Modified = false;
bool ShiftHeld = false;
TfrmMain* frmMain = nullptr;

const char* const NoRoomShortText = "Not enough room for this key. You can make room by deleting one or more keys.";
const char* const NoRoomLongText =
    "Not enough room for this key. You can make room by deleting one or more keys.\r\r"
    "If both levels are used then each level can be up to 111 bytes long.\r"
    "If only Level 1 is used then Level 1 can be up to 220 bytes long.";
const char* const LedModeWarningText =
    "The LED will not operate in your macro unless you change the LED mode in the Properties panel.";

namespace {
int TagOf(const QObject* Item)
{
    if (auto* b = qobject_cast<const TSpeedButton*>(Item)) return b->Tag;
    if (auto* a = qobject_cast<const QAction*>(Item)) return a->data().toInt();
    return 0;
}
} // namespace

// --- window operations -------------------------------------------------------------------

void TfrmMain::SetCaption(const std::string& Caption)
{
    FCaption = Caption;
    setWindowTitle(QString::fromStdString(Caption));
}

int TfrmMain::KeypadButtonTag(int Index) const
{
    if (Index < 0 || Index >= KeyCount) return -1;
    return KeypadButtons[static_cast<size_t>(Index)]->Tag;
}

void TfrmMain::UpdateKeyGlyph(int Index)
{
    if (Index >= 0 && Index < KeyCount) UpdateKeyGlyph(KeypadButtons[static_cast<size_t>(Index)]);
}

void TfrmMain::UpdateKeyGlyph(TSpeedButton* Button)
{
    if (!Button) return;
    Button->SetGlyph(QPixmap());
    const uint8_t type = Keypad->GetKeyType();
    // A type beyond the two marks (a file may carry one) shows no picture.
    if (type != KeyTypeNormal) Button->SetGlyph(LevelImages.Picture(type));
}

void TfrmMain::SetLevelTab(int TabIndex)
{
    TabControlLevel->SetTabIndex(TabIndex);
}

void TfrmMain::PressSpeedButton1()
{
    SpeedButton1->SetDown(true);
    // A whole new definition is shown from its first row; RefreshGrid scrolls on from there.
    Grid->SetTopRow(0);
}

void TfrmMain::RefreshGrid(int Cursor)
{
    Grid->SetRow(Cursor / TMacroGrid::ColCount);
    Grid->SetCol(Cursor % TMacroGrid::ColCount);
    for (int i = 0; i < MacroByteLimit; ++i)
        Grid->SetCell(i % TMacroGrid::ColCount, i / TMacroGrid::ColCount, QString::fromStdString(Keypad->CodeText(i)));
    ShowModifierState(Keypad->ModifierState(static_cast<uint8_t>(Cursor)));
    lblMacroHeader->setText(QString("Macro for Key %1, Level %2").arg(Keypad->CurrentKey() + 1).arg(Keypad->CurrentLevel() + 1));
    const int limit = (Keypad->CurrentLevel() == 1 || Keypad->LevelTwoUsed(Keypad->CurrentKey())) ? SharedLevelByteLimit
                                                                                                  : MacroByteLimit;
    const int used = Keypad->BytesUsed();
    lblBytesUsed->setText(QString::number(limit - used));
    ProgressBar1->setMaximum(limit);
    chkboxAutoRepeat->setChecked(Keypad->GetAutoRepeat());
    // A loaded file can hold more than the limit; the gauge then shows full.
    ProgressBar1->setValue(std::min(used, limit));
    // A name put there shows whole and from its start, as the platform's edit box shows a text
    // set from code, longer than the box's limit too; the same text again leaves the caret where
    // it is.
    const QString name = QString::fromStdString(Keypad->GetName());
    if (EditName->text() != name) {
        EditName->SetText(name);
        EditName->setCursorPosition(0);
    }
}

void TfrmMain::ShowModifierState(uint8_t State)
{
    for (TSpeedButton* b : {sbtnLShift, sbtnLCtrl, sbtnLAlt, sbtnRShift, sbtnRCtrl, sbtnRAlt, sbtnLWin, sbtnRWin}) {
        for (const TTogglePlace& t : ModifierToggles)
            if (t.Tag == b->Tag) b->SetDown((State >> t.Bit) & 1);
    }
}

void TfrmMain::SetModified(bool Value)
{
    Modified = Value;
    ToolBtnSave->setEnabled(Value);
    if (Modified && !FCaption.ends_with("*")) SetCaption(FCaption + "*");
}

// --- keypad picture, levels and grid -------------------------------------------------------

void TfrmMain::SpeedButton1Click(QObject* Sender)
{
    auto* b = qobject_cast<TSpeedButton*>(Sender);
    if (!b) return;
    Keypad->SetCurrentKey(static_cast<uint8_t>(b->Tag));
    RefreshGrid(Keypad->CodeCount());
    Grid->setFocus();
    cboxMacroMode->setCurrentIndex(Keypad->GetMacroMode());
}

void TfrmMain::SpeedButton1MouseDown(QObject* Sender, Qt::MouseButton Button, TShiftState, int, int)
{
    auto* b = qobject_cast<TSpeedButton*>(Sender);
    if (!b || Button != Qt::RightButton) return;
    b->click();
    b->SetDown(true);
    FKeyTypePopupButton = b; // the button's popup menu opens next, for this key
}

void TfrmMain::popmenKeyTypePopup(QObject*)
{
    ShiftKeyMenuItem->setChecked(Keypad->GetKeyType() == KeyTypeShiftLevel);
    ToggleKeyMenuItem->setChecked(Keypad->GetKeyType() == KeyTypeToggleLevel);
}

void TfrmMain::KeyTypeMenuItemClick(QObject* Sender)
{
    auto* item = qobject_cast<QAction*>(Sender);
    if (item != ShiftKeyMenuItem && item != ToggleKeyMenuItem) return;
    const int position = item == ShiftKeyMenuItem ? 0 : 1;
    (position == 0 ? ToggleKeyMenuItem : ShiftKeyMenuItem)->setChecked(false);
    item->setChecked(!item->isChecked());
    Keypad->SetKeyType(item->isChecked() ? static_cast<uint8_t>(position + 1) : KeyTypeNormal);
    UpdateKeyGlyph(FKeyTypePopupButton ? FKeyTypePopupButton : KeypadButtons[Keypad->CurrentKey()]);
    SetModified(true);
}

void TfrmMain::TabControlLevelChange(QObject*)
{
    Keypad->SetCurrentLevel(static_cast<uint8_t>(TabControlLevel->TabIndex()));
    RefreshGrid(Keypad->CodeCount());
    SetColor(pnlKeypad, Keypad->CurrentLevel() == 0 ? QColor(0x80, 0x80, 0x80) : QColor(0, 0, 0));
    cboxMacroMode->setCurrentIndex(Keypad->GetMacroMode());
}

void TfrmMain::chkboxAutorepeatClick(QObject*)
{
    if (chkboxAutoRepeat->isChecked() != Keypad->GetAutoRepeat()) {
        Keypad->SetAutoRepeat(chkboxAutoRepeat->isChecked());
        SetModified(true);
    }
    Grid->setFocus();
}

void TfrmMain::cboxMacroModeChange(QObject*)
{
    if (Keypad->GetMacroMode() != cboxMacroMode->currentIndex()) {
        Keypad->SetMacroMode(cboxMacroMode->currentIndex());
        SetModified(true);
    }
    Grid->setFocus();
}

void TfrmMain::GridSelectCell(QObject*, int ACol, int ARow, bool& CanSelect)
{
    // The last cell stands past the longest macro's terminator: it never becomes current.
    if (ACol == TMacroGrid::ColCount - 1 && ARow == TMacroGrid::RowCount - 1) {
        CanSelect = false;
        return;
    }
    CanSelect = true;
    ShowModifierState(Keypad->ModifierState(static_cast<uint8_t>(ARow * TMacroGrid::ColCount + ACol + 1)));
}

void TfrmMain::GridMouseDown(QObject*, Qt::MouseButton Button, TShiftState, int X, int Y)
{
    if (Button != Qt::RightButton) return;
    menuitemViewKeysAsText->setChecked(!Keypad->ViewAsHex());
    menuitemViewKeysAsHex->setChecked(Keypad->ViewAsHex());
    popmenuClearMacro->popup(Grid->viewport()->mapToGlobal(QPoint(X, Y)));
}

void TfrmMain::menuitemViewKeysAsTextClick(QObject*)
{
    Keypad->SetViewAsHex(false);
    RefreshGrid(Keypad->CodeCount());
}

void TfrmMain::menuitemViewKeysAsHexClick(QObject*)
{
    Keypad->SetViewAsHex(true);
    RefreshGrid(Keypad->CodeCount());
}

void TfrmMain::FormShow(QObject*)
{
    Grid->setFocus();
}

void TfrmMain::showEvent(QShowEvent* E)
{
    QWidget::showEvent(E);
    if (!E->spontaneous()) RunGuarded([this] { FormShow(this); });
}

// --- composing macros ----------------------------------------------------------------------

bool TfrmMain::InsertCodeAtCursor(int32_t Code, const char* Refusal)
{
    int32_t pos = CursorIndex();
    if (!Keypad->InsertCode(pos, Code)) {
        MessageDlg(Refusal, TMsgDlgType::mtError);
        return false;
    }
    RefreshGrid(pos);
    SetModified(true);
    return true;
}

void TfrmMain::InsertAtCursor(int32_t Code)
{
    InsertCodeAtCursor(Code, NoRoomLongText);
}

void TfrmMain::DeleteSelection(int Start)
{
    const TGridRect s = Grid->Selection();
    int cursor = Start;
    if (s.Left == s.Right && s.Top == s.Bottom) {
        if (Start >= 0 && Start < Keypad->CodeCount()) Keypad->DeleteCode(static_cast<uint8_t>(Start));
    } else {
        // Exactly the codes shown in the selected cells go, whichever corner the drag began
        // at: from the last one back, so that each index still names its own code.
        for (int r = s.Bottom; r >= s.Top; --r)
            for (int c = s.Right; c >= s.Left; --c) {
                const int i = r * TMacroGrid::ColCount + c;
                if (i < Keypad->CodeCount()) Keypad->DeleteCode(static_cast<uint8_t>(i));
            }
        cursor = s.Top * TMacroGrid::ColCount + s.Left;
    }
    Grid->SetSelection({s.Left, s.Top, s.Left, s.Top});
    RefreshGrid(cursor);
    SetModified(true);
}

void TfrmMain::GridKeyDown(QObject*, uint16_t& Key, TShiftState)
{
    constexpr uint16_t VK_BACK = 8, VK_SHIFT = 16, VK_DELETE = 46;
    if (Key == VK_BACK || Key == VK_DELETE) {
        const int cursor = CursorIndex();
        const TGridRect s = Grid->Selection();
        const bool oneCell = s.Left == s.Right && s.Top == s.Bottom;
        if (!(Key == VK_BACK && cursor == 0 && oneCell)) DeleteSelection(Key == VK_DELETE ? cursor : cursor - 1);
        Key = 0;
    } else if (Key == VK_SHIFT) {
        ShiftHeld = true;
        if (Keypad->LastCode() != ShiftDownCode) {
            InsertAtCursor(ShiftDownCode);
            Key = 0;
        }
    }
}

void TfrmMain::GridKeyUp(QObject*, uint16_t& Key, TShiftState)
{
    constexpr uint16_t VK_SHIFT = 16;
    if (Key != VK_SHIFT) return;
    ShiftHeld = false;
    if (Keypad->LastCode() != ShiftUpCode) {
        InsertAtCursor(ShiftUpCode);
        Key = 0;
    }
}

void TfrmMain::GridKeyPress(QObject*, uint8_t& Key)
{
    // A typed Tab is inserted at the cursor like any other character.
    if (Key < CharKeyMap.size() && CharKeyMap[Key] > 0) InsertAtCursor(CharKeyMap[Key]);
}

void TfrmMain::spdBtnEscClick(QObject* Sender)
{
    const int tag = TagOf(Sender);
    if (!ShiftHeld) InsertAtCursor(tag == DelayKeyTag ? CodeDelayBase + tbDelayValue->value() : tag);
    Grid->setFocus();
}

void TfrmMain::sbtnLShiftClick(QObject* Sender)
{
    auto* b = qobject_cast<TSpeedButton*>(Sender);
    if (!b || ShiftHeld) return;
    InsertAtCursor(b->Down() ? b->Tag : UpRowOf(b->Tag));
}

void TfrmMain::btnInsertMediaKeyClick(QObject*)
{
    const QPoint p = QCursor::pos();
    mnuInsertMedia->popup(QPoint(p.x(), p.y() - 315));
}

void TfrmMain::mnuMultimediaClick(QObject* Sender)
{
    InsertCodeAtCursor(TagOf(Sender), NoRoomShortText);
}

void TfrmMain::mnuLedClick(QObject* Sender)
{
    InsertCodeAtCursor(CodeLedBase + TagOf(Sender), NoRoomShortText);
    if (Keypad->LEDFunction() != LedFunctionHostMacro) MessageDlg(LedModeWarningText, TMsgDlgType::mtInformation);
}

void TfrmMain::menuitemInsertBreakClick(QObject*)
{
    InsertCodeAtCursor(CodeBreak, NoRoomShortText);
}

void TfrmMain::mnuInsertExtCodeClick(QObject*)
{
    InsertCodeAtCursor(CodeExt, NoRoomShortText);
}

void TfrmMain::GridDblClick(QObject*)
{
    DeleteSelection(CursorIndex());
}

void TfrmMain::menuitemClearMacroClick(QObject*)
{
    while (Keypad->CodeCount() != 0) DeleteSelection(0);
}

void TfrmMain::tbDelayValueChange(QObject*)
{
    tbDelayValue->setToolTip(QString::number(tbDelayValue->value() * 4) + "ms");
}

void TfrmMain::EditNameKeyUp(QObject*, uint16_t& Key, TShiftState)
{
    constexpr uint16_t VK_RETURN = 13;
    if (Key == VK_RETURN) return;
    Keypad->SetName(EditName->text().toStdString());
    SetModified(true);
}

void TfrmMain::EditNameKeyDown(QObject*, uint16_t& Key, TShiftState)
{
    constexpr uint16_t VK_RETURN = 13;
    if (Key == VK_RETURN) Grid->setFocus();
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* E)
{
    if (Watched == EditName && (E->type() == QEvent::KeyPress || E->type() == QEvent::KeyRelease)) {
        auto* k = static_cast<QKeyEvent*>(E);
        uint16_t key = VirtualKeyFromQt(k->key());
        if (E->type() == QEvent::KeyPress) {
            RunGuarded([&] { EditNameKeyDown(EditName, key, k->modifiers()); });
        } else if (!k->isAutoRepeat()) {
            // Every released key counts, even one without a virtual-key code of its own.
            if (key == 0) key = 0xFF;
            RunGuarded([&] { EditNameKeyUp(EditName, key, k->modifiers()); });
        }
        return false;
    }
    return QWidget::eventFilter(Watched, E);
}
