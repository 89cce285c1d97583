// Keysmith591's main window: the keypad picture with its key types, the two level tabs, the
// header and grid of the current macro, and the on-screen PC keyboard, modifier toggles,
// delay slider and insert menu that compose macros. It shows and edits the one Keypad and
// is the window that the definition file routines report to.
#pragma once
#include "Controls.h"
#include "Dialogs.h"
#include "FileIO.h"
#include "Glyphs.h"
#include "KeyboardLayout.h"
#include "KeypadClass.h"
#include "MacroGrid.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSlider>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The definition in memory has changes that are not in a file. Only SetModified writes it.
extern bool Modified;
// A PC Shift key went down in the grid and has not come up there yet: on-screen keys and
// modifier toggles then insert nothing.
extern bool ShiftHeld;
constexpr int32_t ShiftDownCode = 42; // LShiftD
constexpr int32_t ShiftUpCode = 106;  // LShiftU
constexpr int ToolButtonWidth = 59;
constexpr int ToolButtonHeight = 36;
constexpr int ToolSeparatorWidth = 12;

// The refusal texts; the long one keeps its carriage returns (no line feeds).
extern const char* const NoRoomLongText;
extern const char* const NoRoomShortText;
extern const char* const LedModeWarningText;

class TfrmMain : public QWidget, public TMainWindowOps {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* Parent = nullptr);
    ~TfrmMain() override;

    // Top strip: the file commands and launchers.
    QToolBar* ToolBar1 = nullptr;
    QToolButton* ToolBtnSave = nullptr;

    // Keypad picture: 24 buttons, Tag = key index, one exclusive group.
    QFrame* pnlKeypad = nullptr;
    TSpeedButton* SpeedButton1 = nullptr;
    TSpeedButton* SpeedButton2 = nullptr;
    TSpeedButton* SpeedButton3 = nullptr;
    TSpeedButton* SpeedButton4 = nullptr;
    TSpeedButton* SpeedButton5 = nullptr;
    TSpeedButton* SpeedButton6 = nullptr;
    TSpeedButton* SpeedButton7 = nullptr;
    TSpeedButton* SpeedButton8 = nullptr;
    TSpeedButton* SpeedButton9 = nullptr;
    TSpeedButton* SpeedButton10 = nullptr;
    TSpeedButton* SpeedButton11 = nullptr;
    TSpeedButton* SpeedButton12 = nullptr;
    TSpeedButton* SpeedButton13 = nullptr;
    TSpeedButton* SpeedButton14 = nullptr;
    TSpeedButton* SpeedButton15 = nullptr;
    TSpeedButton* SpeedButton16 = nullptr;
    TSpeedButton* SpeedButton17 = nullptr;
    TSpeedButton* SpeedButton18 = nullptr;
    TSpeedButton* SpeedButton19 = nullptr;
    TSpeedButton* SpeedButton20 = nullptr;
    TSpeedButton* SpeedButton21 = nullptr;
    TSpeedButton* SpeedButton22 = nullptr;
    TSpeedButton* SpeedButton23 = nullptr;
    TSpeedButton* SpeedButton24 = nullptr;
    std::array<TSpeedButton*, KeyCount> KeypadButtons{}; // in the panel's order

    // Level tabs with the macro header and grid.
    TTabControl* TabControlLevel = nullptr;
    QFrame* pnlMacroHeader = nullptr;
    QLabel* lblMacroHeader = nullptr;
    QCheckBox* chkboxAutoRepeat = nullptr;
    QLabel* Label1 = nullptr;
    TEdit* EditName = nullptr;
    QLabel* lblMode = nullptr;
    QComboBox* cboxMacroMode = nullptr;
    QLabel* lblSpaceAvailable = nullptr;
    QLabel* lblBytesUsed = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    TMacroGrid* Grid = nullptr;

    // On-screen keyboard.
    QLabel* Label2 = nullptr;
    std::array<TSpeedButton*, OnScreenKeyCount> OnScreenKeyButtons{}; // in OnScreenKeys' order
    TSpeedButton* spdBtnEsc = nullptr;
    TSpeedButton* SpeedButton105 = nullptr; // the delay key
    TSpeedButton* sbtnApp = nullptr;
    TSpeedButton* sbtnLShift = nullptr;
    TSpeedButton* sbtnRShift = nullptr;
    TSpeedButton* sbtnLCtrl = nullptr;
    TSpeedButton* sbtnRCtrl = nullptr;
    TSpeedButton* sbtnLAlt = nullptr;
    TSpeedButton* sbtnRAlt = nullptr;
    TSpeedButton* sbtnLWin = nullptr;
    TSpeedButton* sbtnRWin = nullptr;
    std::array<TSpeedButton*, ModifierToggleCount> ModifierToggleButtons{}; // in ModifierToggles' order
    TSpeedButton* btnInsertMediaKey = nullptr;
    QFrame* Bevel1 = nullptr;
    QSlider* tbDelayValue = nullptr;
    QLabel* Label3 = nullptr; // "4ms"
    QLabel* Label4 = nullptr; // "500ms"

    // Menus and pictures.
    TImageList LevelImages{16, 16};
    QMenu* popmenKeyType = nullptr;
    QAction* ShiftKeyMenuItem = nullptr;
    QAction* ToggleKeyMenuItem = nullptr;
    QMenu* popmenuClearMacro = nullptr;
    QAction* menuitemClearMacro = nullptr;
    QAction* N1 = nullptr;
    QAction* menuitemViewKeysAsText = nullptr;
    QAction* menuitemViewKeysAsHex = nullptr;
    QMenu* mnuInsertMedia = nullptr;
    QMenu* IntlLang1Menu = nullptr; // the submenu that IntlLang1 opens
    QAction* mnuScanNextTrack = nullptr;
    QAction* mnuScanPreviousTrack = nullptr;
    QAction* mnuStop = nullptr;
    QAction* mnuPlayPause = nullptr;
    QAction* Mute1 = nullptr;
    QAction* mnuVolumeUp = nullptr;
    QAction* mnuVolumeDown = nullptr;
    QAction* mnuMediaPlayer = nullptr;
    QAction* mnuEmail = nullptr;
    QAction* mnuCalculator = nullptr;
    QAction* mnuMyComputer = nullptr;
    QAction* mnuWWWSearch = nullptr;
    QAction* mnuWWWHome = nullptr;
    QAction* mnuWWWBack = nullptr;
    QAction* mnuWWWForward = nullptr;
    QAction* mnuWWWStop = nullptr;
    QAction* mnuWWWRefresh = nullptr;
    QAction* mnuWWWBookmarks = nullptr;
    QAction* mnuInsertLEDoff = nullptr;
    QAction* mnuInsertLEDon = nullptr;
    QAction* mnuInsertLEDflash = nullptr;
    QAction* mnuKeypadEqual = nullptr;
    QAction* Keypad1 = nullptr;
    QAction* EjectMac1 = nullptr;
    QAction* mnuInsertBreakCode = nullptr;
    QAction* mnuInsertExtCode = nullptr;
    QAction* IntlLang1 = nullptr;
    QAction* Intl11 = nullptr;
    QAction* Intl2a1 = nullptr;
    QAction* Intl2b1 = nullptr;
    QAction* Intl41 = nullptr;
    QAction* Intl51 = nullptr;
    QAction* Intl61 = nullptr;
    QAction* Europe21 = nullptr;
    QAction* Lang31 = nullptr;
    QAction* Lang41 = nullptr;

    // Holder of the current definition file's name; the file commands show it.
    TFileDialog SaveDialog{TFileDialogKind::Save};

    // File commands and launchers (Unit1Files.cpp).
    QToolButton* ToolBtnNew = nullptr;
    QToolButton* ToolBtnOpen = nullptr;
    QToolButton* ToolBtnSaveAs = nullptr;
    QToolButton* ToolBtnParameters = nullptr;
    QToolButton* ToolBtnDownload = nullptr;
    QToolButton* ToolButtonTest = nullptr;
    QToolButton* ToolBtnHelp = nullptr;
    QToolButton* ToolButtonKeyLabels = nullptr;
    QToolButton* btnExit = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* GettingStarted = nullptr;
    QAction* UserManual = nullptr;
    QAction* AboutMenuItem = nullptr;
    TFileDialog OpenDialog{TFileDialogKind::Open};
    TFileDialog OpenKeyCapsDialog{TFileDialogKind::Open};
    // Adds the file commands to the toolbar around ToolBtnSave and sets up the dialogs.
    void CreateFileCommands();
    void FormCreate(QObject* Sender);
    void NewMenuItemClick(QObject* Sender);
    void OpenMenuItemClick(QObject* Sender);
    void SaveMenuItemClick(QObject* Sender);
    void SaveAsMenuItemClick(QObject* Sender);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void btnExitClick(QObject* Sender);
    void ToolBtnParametersClick(QObject* Sender);
    void ToolBtnDownloadClick(QObject* Sender);
    void ToolButtonTestClick(QObject* Sender);
    void AboutMenuItemClick(QObject* Sender);
    void UserManualClick(QObject* Sender);
    void GettingStartedClick(QObject* Sender);
    void ToolButtonKeyLabelsClick(QObject* Sender);

    const std::string& Caption() const { return FCaption; }
    // The key button the key-type popup was last opened for.
    TSpeedButton* KeyTypePopupButton() const { return FKeyTypePopupButton; }
    int CursorIndex() const { return Grid->Row() * TMacroGrid::ColCount + Grid->Col(); }

    // Window operations of the definition file routines.
    void SetCaption(const std::string& Caption) override;
    int KeypadButtonCount() const override { return KeyCount; }
    int KeypadButtonTag(int Index) const override;
    void UpdateKeyGlyph(int Index) override;
    void SetLevelTab(int TabIndex) override;
    void PressSpeedButton1() override;
    // Shows the current macro with the cursor on code index Cursor (0..230), with its
    // header, capacity figure and gauge, auto-repeat box, name and modifier toggles.
    void RefreshGrid(int Cursor) override;
    // Sets or clears Modified; Save is enabled exactly while it is set, and setting it
    // appends "*" to the caption once. Clearing never touches the caption.
    void SetModified(bool Value) override;
    void SetSaveDialogFileName(const std::string& FileName) override { SaveDialog.FileName = FileName; }

    // The glyph of the model's current key's type on Button (not the type of Button's Tag).
    void UpdateKeyGlyph(TSpeedButton* Button);
    void ShowModifierState(uint8_t State);
    // Inserts at the cursor, or shows the long "Not enough room" text and changes nothing.
    void InsertAtCursor(int32_t Code);
    // Removes the codes of the grid's selection (one cell: the code at Start), then shows
    // the macro and marks the definition modified.
    void DeleteSelection(int Start);

    // Event handlers.
    void SpeedButton1Click(QObject* Sender);
    void SpeedButton1MouseDown(QObject* Sender, Qt::MouseButton Button, TShiftState Shift, int X, int Y);
    void popmenKeyTypePopup(QObject* Sender);
    void KeyTypeMenuItemClick(QObject* Sender);
    void TabControlLevelChange(QObject* Sender);
    void chkboxAutorepeatClick(QObject* Sender);
    void cboxMacroModeChange(QObject* Sender);
    void GridSelectCell(QObject* Sender, int ACol, int ARow, bool& CanSelect);
    void GridMouseDown(QObject* Sender, Qt::MouseButton Button, TShiftState Shift, int X, int Y);
    void menuitemViewKeysAsTextClick(QObject* Sender);
    void menuitemViewKeysAsHexClick(QObject* Sender);
    void FormShow(QObject* Sender);
    void GridKeyDown(QObject* Sender, uint16_t& Key, TShiftState Shift);
    void GridKeyPress(QObject* Sender, uint8_t& Key);
    void GridKeyUp(QObject* Sender, uint16_t& Key, TShiftState Shift);
    void spdBtnEscClick(QObject* Sender);
    void sbtnLShiftClick(QObject* Sender);
    void btnInsertMediaKeyClick(QObject* Sender);
    void mnuMultimediaClick(QObject* Sender);
    void mnuLedClick(QObject* Sender);
    void menuitemInsertBreakClick(QObject* Sender);
    void mnuInsertExtCodeClick(QObject* Sender);
    void GridDblClick(QObject* Sender);
    void menuitemClearMacroClick(QObject* Sender);
    void tbDelayValueChange(QObject* Sender);
    void EditNameKeyUp(QObject* Sender, uint16_t& Key, TShiftState Shift);
    void EditNameKeyDown(QObject* Sender, uint16_t& Key, TShiftState Shift);

protected:
    void showEvent(QShowEvent* E) override;
    void closeEvent(QCloseEvent* E) override; // asks FormCloseQuery
    bool eventFilter(QObject* Watched, QEvent* E) override;

private:
    // The save-changes question of New, Open and closing, asked only while Modified: mrNone
    // when not asked, mrYes once the definition is saved, mrNo, or mrCancel (also for a Yes
    // whose save did not happen, so nothing unsaved is dropped).
    int SaveChangesQuestion();
    void WriteDefinition(const std::string& FileName);
    void ShowLevelColourAndMode();
    // The builders the constructor runs (Unit1Create.cpp).
    void CreateToolBar();
    void CreateKeypadPanel();
    void CreateMacroPage();
    void CreateKeyboard();
    void CreateMenus();
    // The three steps of an insert at the cursor, with the given text on refusal.
    bool InsertCodeAtCursor(int32_t Code, const char* Refusal);

    std::unique_ptr<TKeypadClass> FKeypad; // the one definition, created with the window
    std::string FCaption;
    TSpeedButton* FKeyTypePopupButton = nullptr;
};

extern TfrmMain* frmMain;

// The program's command-line arguments after its name, as the program block received them;
// FormCreate opens the first.
void SetCommandLine(std::vector<std::string> Arguments);
int ParamCount();
std::string ParamStr(int Index); // 1 is the first argument; "" outside the list

// The main window as the program block makes it: built, then its FormCreate run (an error
// there is shown by the application object and the window is still made).
std::unique_ptr<TfrmMain> CreateMainForm();
