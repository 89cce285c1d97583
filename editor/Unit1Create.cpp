// The main window's construction: the window itself and the builders of its toolbar, keypad
// picture, macro page, on-screen keyboard and menus, each control wired to its handler.
#include "Unit1.h"

#include "Forms.h"
#include "QtApplication.h"
#include "QtDialogs.h"

#include <QSlider>

namespace {
// Every handler runs as the class library runs one: an error that escapes it is shown by
// the application object and the command ends there.
template <class F>
auto Guarded(F Handler)
{
    return [Handler](auto&&... Args) { RunGuarded([&] { Handler(Args...); }); };
}

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QString& Text, int X, int Y)
{
    auto* l = new QLabel(Text, Parent);
    l->setObjectName(Name);
    l->adjustSize();
    l->move(X, Y);
    return l;
}

constexpr int KeypadButtonGroup = 1;
} // namespace

TfrmMain::TfrmMain(QWidget* Parent) : QWidget(Parent), FKeypad(std::make_unique<TKeypadClass>())
{
    setObjectName("frmMain");
    frmMain = this;
    Keypad = FKeypad.get();
    Modified = false;
    ShiftHeld = false;
    SaveDialog.FileName = "untitled.ckd";

    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(631, 478);
    // The places of the controls are measured for this font; a desktop font would overlap them.
    setFont(FormFont());
    SetCaption("Key-Smith");
    CentreOnScreen(*this);

    FillLevelImages(LevelImages);
    CreateMenus();
    CreateToolBar();
    CreateKeypadPanel();
    CreateMacroPage();
    CreateKeyboard();
    SetMainWindowOps(this);
}

TfrmMain::~TfrmMain()
{
    SetMainWindowOps(nullptr);
    if (Keypad == FKeypad.get()) Keypad = nullptr;
    if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::CreateToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    // Ten buttons of 59 and three separators of 12 fill 626 of the 631 pixels, edge to edge.
    auto* measures = new TFormStyle;
    measures->setParent(ToolBar1);
    ToolBar1->setStyle(measures);
    ToolBar1->setGeometry(0, 0, width(), ToolButtonHeight + 4);
    ToolBar1->setMovable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    // Its buttons take its picture size: the style's own (24 on a desktop) would push their
    // captions out of their 36 pixels.
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBtnSave = new QToolButton(ToolBar1);
    ToolBtnSave->setObjectName("ToolBtnSave");
    ToolBtnSave->setText("Save");
    ToolBtnSave->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    ToolBtnSave->setAutoRaise(true);
    ToolBtnSave->setFixedSize(ToolButtonWidth, ToolButtonHeight);
    ToolBar1->addWidget(ToolBtnSave);
}

void TfrmMain::CreateKeypadPanel()
{
    pnlKeypad = new TFrame(this);
    pnlKeypad->setObjectName("pnlKeypad");
    pnlKeypad->setGeometry(12, 48, 149, 218);
    pnlKeypad->setFrameStyle(QFrame::Panel | QFrame::Raised);
    pnlKeypad->setToolTip("Right-click to set Level control");
    SetColor(pnlKeypad, palette().color(QPalette::Dark)); // the system's button shadow until a level is chosen

    TSpeedButton* TfrmMain::*const members[KeyCount] = {
        &TfrmMain::SpeedButton1,  &TfrmMain::SpeedButton2,  &TfrmMain::SpeedButton3,  &TfrmMain::SpeedButton4,
        &TfrmMain::SpeedButton5,  &TfrmMain::SpeedButton6,  &TfrmMain::SpeedButton7,  &TfrmMain::SpeedButton8,
        &TfrmMain::SpeedButton9,  &TfrmMain::SpeedButton10, &TfrmMain::SpeedButton11, &TfrmMain::SpeedButton12,
        &TfrmMain::SpeedButton13, &TfrmMain::SpeedButton14, &TfrmMain::SpeedButton15, &TfrmMain::SpeedButton16,
        &TfrmMain::SpeedButton17, &TfrmMain::SpeedButton18, &TfrmMain::SpeedButton19, &TfrmMain::SpeedButton20,
        &TfrmMain::SpeedButton21, &TfrmMain::SpeedButton22, &TfrmMain::SpeedButton23, &TfrmMain::SpeedButton24};
    for (int k = 0; k < KeyCount; ++k) {
        auto* b = new TSpeedButton(pnlKeypad);
        b->setObjectName(QString("SpeedButton%1").arg(k + 1));
        b->Tag = k;
        b->GroupIndex = KeypadButtonGroup;
        b->PopupMenu = popmenKeyType;
        b->setGeometry(8 + 35 * (k % 4), 8 + 35 * (k / 4), 30, 30);
        b->setToolTip(pnlKeypad->toolTip());
        connect(b, &TSpeedButton::Click, this, Guarded([this, b] { SpeedButton1Click(b); }));
        connect(b, &TSpeedButton::MouseDown, this,
                Guarded([this, b](Qt::MouseButton Button, Qt::KeyboardModifiers Shift, QPoint Pos) {
                    SpeedButton1MouseDown(b, Button, Shift, Pos.x(), Pos.y());
                }));
        this->*members[k] = b;
        KeypadButtons[static_cast<size_t>(k)] = b;
    }
    SpeedButton1->SetDown(true);
}

void TfrmMain::CreateMacroPage()
{
    TabControlLevel = new TTabControl({"Level 1", "Level 2"}, this);
    TabControlLevel->setObjectName("TabControlLevel");
    TabControlLevel->setGeometry(180, 48, 438, 218);
    connect(TabControlLevel, &TTabControl::Change, this, Guarded([this] { TabControlLevelChange(TabControlLevel); }));

    pnlMacroHeader = new QFrame(TabControlLevel);
    pnlMacroHeader->setObjectName("pnlMacroHeader");
    pnlMacroHeader->setGeometry(4, TabControlLevel->PageTop() + 2, 430, 68);

    lblMacroHeader = MakeLabel(pnlMacroHeader, "lblMacroHeader", "Macro for Key 1, Level 1", 4, 3);
    QFont bold = lblMacroHeader->font();
    bold.setBold(true);
    lblMacroHeader->setFont(bold);
    lblMacroHeader->setFixedWidth(200);

    chkboxAutoRepeat = new QCheckBox("This macro can auto-repeat", pnlMacroHeader);
    chkboxAutoRepeat->setObjectName("chkboxAutoRepeat");
    chkboxAutoRepeat->setToolTip("Check this box to make the current macro auto-repeat");
    chkboxAutoRepeat->setGeometry(11, 22, chkboxAutoRepeat->sizeHint().width(), 17);
    // The class library reports a change made from code like a click.
    connect(chkboxAutoRepeat, &QCheckBox::toggled, this, Guarded([this](bool) { chkboxAutorepeatClick(chkboxAutoRepeat); }));

    lblMode = MakeLabel(pnlMacroHeader, "lblMode", "Mode:", 8, 44);
    cboxMacroMode = new QComboBox(pnlMacroHeader);
    cboxMacroMode->setObjectName("cboxMacroMode");
    cboxMacroMode->addItems({"Default (Auto Sense)", "Separate Up Codes", "Macro  (Advanced)", "Literal   (Advanced)"});
    cboxMacroMode->setMaxVisibleItems(4);
    auto* measures = new TFormStyle;
    measures->setParent(cboxMacroMode);
    cboxMacroMode->setStyle(measures);
    cboxMacroMode->setGeometry(42, 41, 125, 21);
    // Only a choice by the user changes the mode; setting the index from code runs nothing.
    connect(cboxMacroMode, &QComboBox::activated, this, Guarded([this](int) { cboxMacroModeChange(cboxMacroMode); }));

    Label1 = MakeLabel(pnlMacroHeader, "Label1", "Description:", 208, 10);
    EditName = new TEdit(32, pnlMacroHeader);
    EditName->setObjectName("EditName");
    EditName->setToolTip("Enter optional name for key macro.");
    EditName->setGeometry(267, 8, 156, 21);
    EditName->installEventFilter(this);

    lblSpaceAvailable = new QLabel("Keys available for this macro:", pnlMacroHeader);
    lblSpaceAvailable->setObjectName("lblSpaceAvailable");
    lblSpaceAvailable->adjustSize();
    lblSpaceAvailable->move(351 - lblSpaceAvailable->width(), 32);
    lblBytesUsed = new QLabel("220", pnlMacroHeader);
    lblBytesUsed->setObjectName("lblBytesUsed");
    lblBytesUsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // As wide as its widest figure, "220"; a smaller one stands at the same right edge.
    lblBytesUsed->adjustSize();
    lblBytesUsed->move(362, 32);

    ProgressBar1 = new QProgressBar(pnlMacroHeader);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, MacroByteLimit);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(208, 48, 215, 13);

    Grid = new TMacroGrid(TabControlLevel);
    Grid->setObjectName("Grid");
    Grid->setGeometry(4, 95, 429, 119);
    Grid->OnSelectCell = [this](int ACol, int ARow, bool& CanSelect) {
        RunGuarded([&] { GridSelectCell(Grid, ACol, ARow, CanSelect); });
    };
    Grid->OnKeyDown = [this](uint16_t& Key, TShiftState Shift) { RunGuarded([&] { GridKeyDown(Grid, Key, Shift); }); };
    Grid->OnKeyUp = [this](uint16_t& Key, TShiftState Shift) { RunGuarded([&] { GridKeyUp(Grid, Key, Shift); }); };
    Grid->OnKeyPress = [this](uint8_t& Key) { RunGuarded([&] { GridKeyPress(Grid, Key); }); };
    Grid->OnDblClick = [this] { RunGuarded([&] { GridDblClick(Grid); }); };
    Grid->OnMouseDown = [this](Qt::MouseButton Button, TShiftState Shift, int X, int Y) {
        RunGuarded([&] { GridMouseDown(Grid, Button, Shift, X, Y); });
    };
}

void TfrmMain::CreateKeyboard()
{
    Label2 = MakeLabel(this, "Label2",
                       "To enter macro data:   Click on any key below or type on PC keyboard (green keys only).",
                       12, 268);

    for (size_t i = 0; i < OnScreenKeys.size(); ++i) {
        const TKeyPlace& k = OnScreenKeys[i];
        auto* b = new TSpeedButton(this);
        b->setObjectName(k.Name);
        b->Tag = k.Tag;
        const TPixelRect r = KeyRect(k.Block, k.Line, k.X, k.W, k.H);
        b->setGeometry(r.Left, r.Top, r.Width, r.Height);
        if (k.Tag == 146) {
            b->setText("Power"); // the one key with a text caption
        } else {
            const bool green = k.Tag != DelayKeyTag && TypingReachesRow(k.Tag);
            b->SetGlyph(KeyCapPicture(k.Legend, green, r.Width - 2, r.Height - 2));
        }
        connect(b, &TSpeedButton::Click, this, Guarded([this, b] { spdBtnEscClick(b); }));
        OnScreenKeyButtons[i] = b;
    }
    spdBtnEsc = findChild<TSpeedButton*>("spdBtnEsc", Qt::FindDirectChildrenOnly);
    SpeedButton105 = findChild<TSpeedButton*>("SpeedButton105", Qt::FindDirectChildrenOnly);
    sbtnApp = findChild<TSpeedButton*>("sbtnApp", Qt::FindDirectChildrenOnly);

    TSpeedButton* TfrmMain::*const toggles[ModifierToggleCount] = {
        &TfrmMain::sbtnLShift, &TfrmMain::sbtnRShift, &TfrmMain::sbtnLCtrl, &TfrmMain::sbtnRCtrl,
        &TfrmMain::sbtnLAlt,   &TfrmMain::sbtnRAlt,   &TfrmMain::sbtnLWin,  &TfrmMain::sbtnRWin};
    for (size_t i = 0; i < ModifierToggles.size(); ++i) {
        const TTogglePlace& t = ModifierToggles[i];
        auto* b = new TSpeedButton(this);
        b->setObjectName(t.Name);
        b->Tag = t.Tag;
        b->GroupIndex = 10 + static_cast<int>(i); // a group of its own that may be all up
        b->AllowAllUp = true;
        const TPixelRect r = KeyRect(TKeyBlock::Main, t.Line, t.X, t.W, 1);
        b->setGeometry(r.Left, r.Top, r.Width, r.Height);
        b->SetGlyph(KeyCapPicture(t.Legend, false, r.Width - 2, r.Height - 2));
        connect(b, &TSpeedButton::Click, this, Guarded([this, b] { sbtnLShiftClick(b); }));
        this->*toggles[i] = b;
        ModifierToggleButtons[i] = b;
    }

    btnInsertMediaKey = new TSpeedButton(this);
    btnInsertMediaKey->setObjectName("btnInsertMediaKey");
    btnInsertMediaKey->setToolTip("Insert multimedia key from list");
    const TPixelRect m = KeyRect(TKeyBlock::Cursor, 1, 0, 3, 1);
    btnInsertMediaKey->setGeometry(m.Left, m.Top, m.Width, m.Height);
    btnInsertMediaKey->SetGlyph(KeyCapPicture(MediaKeyLegend, false, m.Width - 2, m.Height - 2));
    connect(btnInsertMediaKey, &TSpeedButton::Click, this, Guarded([this] { btnInsertMediaKeyClick(btnInsertMediaKey); }));

    // The delay group: the delay key, the slider and its end labels inside a bevel.
    Bevel1 = new TFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Bevel1->setGeometry(NumericBlockLeft - 3, KeyboardTop - 2, width() - NumericBlockLeft - 4, 2 * LinePitch + 1);
    Bevel1->lower();
    const int sliderLeft = SpeedButton105->geometry().right() + 4;
    tbDelayValue = new QSlider(Qt::Horizontal, this);
    tbDelayValue->setObjectName("tbDelayValue");
    tbDelayValue->setRange(1, MaxEditorDelayCount);
    tbDelayValue->setValue(50);
    tbDelayValue->setTickInterval(16);
    tbDelayValue->setTickPosition(QSlider::TicksBelow);
    tbDelayValue->setFocusPolicy(Qt::NoFocus);
    tbDelayValue->setToolTip("200ms");
    tbDelayValue->setGeometry(sliderLeft, KeyboardTop, Bevel1->geometry().right() - sliderLeft - 2, 26);
    connect(tbDelayValue, &QSlider::valueChanged, this, Guarded([this](int) { tbDelayValueChange(tbDelayValue); }));
    Label3 = MakeLabel(this, "Label3", "4ms", sliderLeft, KeyboardTop + 29);
    Label4 = MakeLabel(this, "Label4", "500ms", 0, KeyboardTop + 29);
    Label3->setFont(KeyCapFont());
    Label4->setFont(KeyCapFont());
    Label3->adjustSize();
    Label4->adjustSize();
    Label4->move(tbDelayValue->geometry().right() - Label4->width(), KeyboardTop + 29);
}

void TfrmMain::CreateMenus()
{
    popmenKeyType = new QMenu(this);
    popmenKeyType->setObjectName("popmenKeyType");
    ShiftKeyMenuItem = popmenKeyType->addAction(LevelImages.Picture(KeyTypeShiftLevel),
                                                "Shift Level -- will cause the keypad to switch levels while held down.");
    ShiftKeyMenuItem->setObjectName("ShiftKeyMenuItem");
    ToggleKeyMenuItem = popmenKeyType->addAction(LevelImages.Picture(KeyTypeToggleLevel),
                                                 "Toggle Level -- will cause the keypad to switch levels after key is released.");
    ToggleKeyMenuItem->setObjectName("ToggleKeyMenuItem");
    for (QAction* item : {ShiftKeyMenuItem, ToggleKeyMenuItem}) {
        item->setCheckable(true);
        // Qt inverts a check item before it reports the click; the handler does the
        // inverting itself, so undo Qt's first.
        connect(item, &QAction::triggered, this, Guarded([this, item](bool) {
                    item->setChecked(!item->isChecked());
                    KeyTypeMenuItemClick(item);
                }));
    }
    connect(popmenKeyType, &QMenu::aboutToShow, this, Guarded([this] { popmenKeyTypePopup(popmenKeyType); }));

    popmenuClearMacro = new QMenu(this);
    popmenuClearMacro->setObjectName("popmenuClearMacro");
    menuitemClearMacro = popmenuClearMacro->addAction("Erase all key codes for this macro");
    menuitemClearMacro->setObjectName("menuitemClearMacro");
    N1 = popmenuClearMacro->addSeparator();
    N1->setObjectName("N1");
    menuitemViewKeysAsText = popmenuClearMacro->addAction("View key codes as text");
    menuitemViewKeysAsText->setObjectName("menuitemViewKeysAsText");
    menuitemViewKeysAsHex = popmenuClearMacro->addAction("View key codes as hex (AT codes)");
    menuitemViewKeysAsHex->setObjectName("menuitemViewKeysAsHex");
    menuitemViewKeysAsText->setCheckable(true);
    menuitemViewKeysAsHex->setCheckable(true);
    connect(menuitemClearMacro, &QAction::triggered, this, Guarded([this](bool) { menuitemClearMacroClick(menuitemClearMacro); }));
    connect(menuitemViewKeysAsText, &QAction::triggered, this,
            Guarded([this](bool) { menuitemViewKeysAsTextClick(menuitemViewKeysAsText); }));
    connect(menuitemViewKeysAsHex, &QAction::triggered, this,
            Guarded([this](bool) { menuitemViewKeysAsHexClick(menuitemViewKeysAsHex); }));

    mnuInsertMedia = new QMenu(this);
    mnuInsertMedia->setObjectName("mnuInsertMedia");
    IntlLang1Menu = new QMenu("Int'l / Lang", mnuInsertMedia);
    IntlLang1Menu->setObjectName("IntlLang1Menu");
    enum TKind { Media, Led, Break, Ext, Sep, SubMenu, SubSep };
    struct TItem {
        QAction* TfrmMain::*Member;
        const char* Name;
        const char* Caption;
        int Tag;
        TKind Kind;
    };
    const TItem items[] = {
        {&TfrmMain::mnuScanNextTrack, "mnuScanNextTrack", "Scan Next Track", 113, Media},
        {&TfrmMain::mnuScanPreviousTrack, "mnuScanPreviousTrack", "Scan Previous Track", 114, Media},
        {&TfrmMain::mnuStop, "mnuStop", "Stop", 115, Media},
        {&TfrmMain::mnuPlayPause, "mnuPlayPause", "Play/Pause", 116, Media},
        {&TfrmMain::Mute1, "Mute1", "Mute", 117, Media},
        {&TfrmMain::mnuVolumeUp, "mnuVolumeUp", "Volume Up", 118, Media},
        {&TfrmMain::mnuVolumeDown, "mnuVolumeDown", "Volume Down", 119, Media},
        {&TfrmMain::mnuMediaPlayer, "mnuMediaPlayer", "Media Player", 120, Media},
        {&TfrmMain::mnuEmail, "mnuEmail", "Email", 121, Media},
        {&TfrmMain::mnuCalculator, "mnuCalculator", "Calculator", 122, Media},
        {&TfrmMain::mnuMyComputer, "mnuMyComputer", "My Computer", 123, Media},
        {&TfrmMain::mnuWWWSearch, "mnuWWWSearch", "WWW Search", 124, Media},
        {&TfrmMain::mnuWWWHome, "mnuWWWHome", "WWW Home", 125, Media},
        {&TfrmMain::mnuWWWBack, "mnuWWWBack", "WWW Back", 126, Media},
        {&TfrmMain::mnuWWWForward, "mnuWWWForward", "WWW Forward", 127, Media},
        {&TfrmMain::mnuWWWStop, "mnuWWWStop", "WWW Stop", 128, Media},
        {&TfrmMain::mnuWWWRefresh, "mnuWWWRefresh", "WWW Refresh", 129, Media},
        {&TfrmMain::mnuWWWBookmarks, "mnuWWWBookmarks", "WWW Bookmarks", 130, Media},
        {nullptr, "", "", 0, Sep},
        {&TfrmMain::mnuInsertLEDoff, "mnuInsertLEDoff", "Insert LED off code", 4, Led},
        {&TfrmMain::mnuInsertLEDon, "mnuInsertLEDon", "Insert LED on code", 5, Led},
        {&TfrmMain::mnuInsertLEDflash, "mnuInsertLEDflash", "Insert LED flash code", 6, Led},
        {nullptr, "", "", 0, Sep},
        {&TfrmMain::mnuKeypadEqual, "mnuKeypadEqual", "Keypad =", 157, Media},
        {&TfrmMain::Keypad1, "Keypad1", "Keypad ,", 156, Media},
        {&TfrmMain::EjectMac1, "EjectMac1", "Eject (Mac only)", 158, Media},
        {nullptr, "", "", 0, Sep},
        {&TfrmMain::mnuInsertBreakCode, "mnuInsertBreakCode", "Insert BREAK code (F0)", 0, Break},
        {&TfrmMain::mnuInsertExtCode, "mnuInsertExtCode", "Insert EXT code (E0)", 0, Ext},
        {nullptr, "", "", 0, Sep},
        {&TfrmMain::IntlLang1, "IntlLang1", "Int'l / Lang", 0, SubMenu},
        {&TfrmMain::Intl11, "Intl11", "Int'l 1", 147, Media},
        {&TfrmMain::Intl2a1, "Intl2a1", "Int'l 2 (a) ", 148, Media},
        {&TfrmMain::Intl2b1, "Intl2b1", "Int'l 2 (b)", 149, Media},
        {&TfrmMain::Intl41, "Intl41", "Int'l 4", 150, Media},
        {&TfrmMain::Intl51, "Intl51", "Int'l 5", 151, Media},
        {&TfrmMain::Intl61, "Intl61", "Int'l 6", 152, Media},
        {nullptr, "", "", 0, SubSep},
        {&TfrmMain::Europe21, "Europe21", "Europe 2", 153, Media},
        {nullptr, "", "", 0, SubSep},
        {&TfrmMain::Lang31, "Lang31", "Lang 3", 154, Media},
        {&TfrmMain::Lang41, "Lang41", "Lang 4", 155, Media},
    };
    QMenu* into = mnuInsertMedia;
    for (const TItem& it : items) {
        if (it.Kind == Sep || it.Kind == SubSep) {
            into->addSeparator();
            continue;
        }
        if (it.Kind == SubMenu) {
            QAction* a = mnuInsertMedia->addMenu(IntlLang1Menu);
            a->setObjectName(it.Name);
            this->*it.Member = a;
            into = IntlLang1Menu;
            continue;
        }
        QAction* a = into->addAction(it.Caption);
        a->setObjectName(it.Name);
        a->setData(it.Tag);
        this->*it.Member = a;
        switch (it.Kind) {
        case Media: connect(a, &QAction::triggered, this, Guarded([this, a](bool) { mnuMultimediaClick(a); })); break;
        case Led: connect(a, &QAction::triggered, this, Guarded([this, a](bool) { mnuLedClick(a); })); break;
        case Break: connect(a, &QAction::triggered, this, Guarded([this, a](bool) { menuitemInsertBreakClick(a); })); break;
        case Ext: connect(a, &QAction::triggered, this, Guarded([this, a](bool) { mnuInsertExtCodeClick(a); })); break;
        default: break;
        }
    }
}
