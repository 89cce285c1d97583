#include "Params.h"

#include "Dialogs.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "KeypadClass.h"

#include <QLineEdit>
#include <QShowEvent>

#include <algorithm>

int32_t KeyRoll = 2;
TfrmParameters* frmParameters = nullptr;

namespace {
// An item of a radio group takes a click anywhere on its row, not only on its caption.
class TGroupItem : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    bool hitButton(const QPoint& Pos) const override { return rect().contains(Pos); }
};
} // namespace

TRadioGroup::TRadioGroup(const QString& Caption, const QStringList& Items, QWidget* Parent)
    : QGroupBox(Caption, Parent)
{
    int y = 18;
    for (const QString& item : Items) {
        auto* b = new TGroupItem(item, this);
        b->setGeometry(10, y, width() - 20, 20);
        FGroup.addButton(b, static_cast<int>(FButtons.size()));
        FButtons.push_back(b);
        y += 22;
    }
    connect(&FGroup, &QButtonGroup::idClicked, this, [this](int) { emit Clicked(); });
}

int TRadioGroup::ItemIndex() const
{
    return FGroup.checkedId();
}

void TRadioGroup::SetItemIndex(int Index)
{
    if (Index == ItemIndex()) return;
    if (Index < 0 || Index >= ItemCount()) {
        // An exclusive group cannot uncheck its last button by itself.
        FGroup.setExclusive(false);
        for (auto* b : FButtons) b->setChecked(false);
        FGroup.setExclusive(true);
    } else {
        FButtons[static_cast<size_t>(Index)]->setChecked(true);
    }
    emit Clicked();
}

TSpinEdit::TSpinEdit(QWidget* Parent)
    : QSpinBox(Parent)
{
    // The spin box reports values set from code and accepted texts; its editor alone sees
    // texts that are not a number.
    connect(this, &QSpinBox::textChanged, this, &TSpinEdit::Changed);
    connect(lineEdit(), &QLineEdit::textChanged, this, &TSpinEdit::Changed);
}

int TSpinEdit::Value() const
{
    bool ok = false;
    const int v = cleanText().toInt(&ok);
    if (!ok) return minimum();
    return std::clamp(v, minimum(), maximum());
}

void TSpinEdit::focusOutEvent(QFocusEvent* Event)
{
    setValue(Value());
    QSpinBox::focusOutEvent(Event);
}

TfrmParameters::TfrmParameters(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowContextHelpButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName("frmParameters");
    setWindowTitle("Keypad Properties");
    setFixedSize(350, 231);
    setFont(FormFont());
    // Hidden between showings, it must not keep the program running after the main window.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto name = [](QWidget* W, const char* Name) { W->setObjectName(Name); };

    radgrpLED = new TRadioGroup(" LED Function ",
                                {"Not Used", "CapsLock", "NumLock", "Level Indicator", "Host/Macro Control"}, this);
    name(radgrpLED, "radgrpLED");
    radgrpLED->setGeometry(8, 8, 161, 137);
    for (int i = 0; i < radgrpLED->ItemCount(); ++i) radgrpLED->Item(i)->setFixedWidth(141);

    grpboxKeyRollover = new QGroupBox(" Key Rollover ", this);
    name(grpboxKeyRollover, "grpboxKeyRollover");
    grpboxKeyRollover->setGeometry(176, 8, 166, 89);
    memoKeyRollover = new QPlainTextEdit(grpboxKeyRollover);
    name(memoKeyRollover, "memoKeyRollover");
    memoKeyRollover->setPlainText("How many keys can be \npressed down simultaneously?");
    memoKeyRollover->setReadOnly(true);
    memoKeyRollover->setFrameShape(QFrame::NoFrame);
    memoKeyRollover->setFocusPolicy(Qt::NoFocus);
    memoKeyRollover->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoKeyRollover->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoKeyRollover->viewport()->setAutoFillBackground(false);
    // A borderless text: its lines start at its edge, so each of the two stays one line.
    memoKeyRollover->document()->setDocumentMargin(0);
    memoKeyRollover->setGeometry(8, 18, 152, 38);
    radbtnKeyRoll1 = new QRadioButton("1", grpboxKeyRollover);
    name(radbtnKeyRoll1, "radbtnKeyRoll1");
    radbtnKeyRoll1->setGeometry(30, 60, 40, 20);
    radbtnKeyRoll2 = new QRadioButton("2", grpboxKeyRollover);
    name(radbtnKeyRoll2, "radbtnKeyRoll2");
    radbtnKeyRoll2->setGeometry(96, 60, 40, 20);
    radbtnKeyRoll2->setChecked(true);

    grpboxAutorepeat = new QGroupBox(" Character Pacing ", this);
    name(grpboxAutorepeat, "grpboxAutorepeat");
    grpboxAutorepeat->setGeometry(8, 150, 161, 48);
    lblPacing = new QLabel("Pacing (ms):", grpboxAutorepeat);
    lblPacing->setGeometry(10, 20, 76, 20);
    spinCharacterPacing = new TSpinEdit(grpboxAutorepeat);
    name(spinCharacterPacing, "spinCharacterPacing");
    spinCharacterPacing->setRange(2, 20);
    spinCharacterPacing->setSingleStep(2);
    spinCharacterPacing->setToolTip("Pacing is the time between bytes during macro playback.");
    spinCharacterPacing->setGeometry(90, 18, 60, 24);

    grpboxDownloadDelay = new QGroupBox(" Download Delay ", this);
    name(grpboxDownloadDelay, "grpboxDownloadDelay");
    grpboxDownloadDelay->setGeometry(176, 102, 166, 48);
    lblDelay = new QLabel("Delay (ms):", grpboxDownloadDelay);
    lblDelay->setGeometry(10, 20, 76, 20);
    spinDownloadDelay = new TSpinEdit(grpboxDownloadDelay);
    name(spinDownloadDelay, "spinDownloadDelay");
    spinDownloadDelay->setRange(0, 20);
    spinDownloadDelay->setSingleStep(1);
    spinDownloadDelay->setToolTip("Slows download on fast PC's.");
    spinDownloadDelay->setGeometry(94, 18, 60, 24);

    btnApply = new QPushButton("&Apply", this);
    name(btnApply, "btnApply");
    btnApply->setGeometry(186, 196, 75, 27);
    btnCancel = new QPushButton("&Cancel", this);
    name(btnCancel, "btnCancel");
    btnCancel->setGeometry(267, 196, 75, 27);
    // Neither button is the form's default: Enter presses only the button that has the focus.
    btnApply->setAutoDefault(false);
    btnCancel->setAutoDefault(false);

    connect(radgrpLED, &TRadioGroup::Clicked, this, &TfrmParameters::radgrpLEDClick);
    connect(spinCharacterPacing, &TSpinEdit::Changed, this, &TfrmParameters::spinCharacterPacingChange);
    connect(spinDownloadDelay, &TSpinEdit::Changed, this, &TfrmParameters::spinCharacterPacingChange);
    connect(radbtnKeyRoll1, &QRadioButton::clicked, this, &TfrmParameters::radbtnKeyRoll1Click);
    connect(radbtnKeyRoll2, &QRadioButton::clicked, this, &TfrmParameters::radbtnKeyRoll2Click);
    connect(btnApply, &QPushButton::clicked, this, &TfrmParameters::btnApplyClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmParameters::btnCancelClick);
}

void TfrmParameters::setVisible(bool Visible)
{
    if (Visible) KeepAboveStayOnTopWindows(*this);
    QDialog::setVisible(Visible);
}

void TfrmParameters::showEvent(QShowEvent* Event)
{
    if (!Event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
    QDialog::showEvent(Event);
}

void TfrmParameters::FormShow()
{
    if (Keypad) {
        spinCharacterPacing->SetValue(Keypad->CharacterPacing() * 2);
        spinDownloadDelay->SetValue(Keypad->DownloadDelay());
        KeyRoll = Keypad->KeyRollOver();
        // Checking a button that was not checked is a click on it, as in the class library.
        QRadioButton* b = KeyRoll == 1 ? radbtnKeyRoll1 : radbtnKeyRoll2;
        if (!b->isChecked()) {
            b->setChecked(true);
            if (b == radbtnKeyRoll1) radbtnKeyRoll1Click();
            else radbtnKeyRoll2Click();
        }
        radgrpLED->SetItemIndex(std::min<int>(Keypad->LEDFunction(), radgrpLED->ItemCount() - 1));
    }
    btnApply->setEnabled(false);
}

void TfrmParameters::radgrpLEDClick()
{
    btnApply->setEnabled(true);
}

void TfrmParameters::spinCharacterPacingChange()
{
    btnApply->setEnabled(true);
}

void TfrmParameters::radbtnKeyRoll1Click()
{
    KeyRoll = 1;
    btnApply->setEnabled(true);
}

void TfrmParameters::radbtnKeyRoll2Click()
{
    KeyRoll = 2;
    btnApply->setEnabled(true);
}

void TfrmParameters::btnApplyClick()
{
    if (Keypad) {
        Keypad->SetLEDFunction(static_cast<uint8_t>(radgrpLED->ItemIndex()));
        Keypad->SetKeyRollOver(static_cast<uint8_t>(KeyRoll));
        Keypad->SetCharacterPacing(static_cast<uint8_t>(spinCharacterPacing->Value() / 2));
        Keypad->SetDownloadDelay(static_cast<uint8_t>(spinDownloadDelay->Value()));
    }
    if (SetModified) SetModified(true);
    done(mrOk);
}

void TfrmParameters::btnCancelClick()
{
    done(mrCancel);
}

void TfrmParameters::reject()
{
    done(mrCancel);
}
