// The "Keypad Properties" dialog: the LED function, key roll-over, character pacing and
// download delay of the one definition Keypad. Made once at start and shown modally on
// demand; each showing reloads the controls, so nothing typed survives a Cancel.
#pragma once
#include <QButtonGroup>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <cstdint>
#include <functional>
#include <vector>

// The class library's radio group: a framed column of exclusive items with one index.
class TRadioGroup : public QGroupBox {
    Q_OBJECT
public:
    TRadioGroup(const QString& Caption, const QStringList& Items, QWidget* Parent);
    int ItemIndex() const;
    // Checks the item (-1 checks none); a change counts as a click, as in the class library.
    void SetItemIndex(int Index);
    int ItemCount() const { return static_cast<int>(FButtons.size()); }
    QRadioButton* Item(int Index) const { return FButtons[static_cast<size_t>(Index)]; }
signals:
    void Clicked();

private:
    QButtonGroup FGroup;
    std::vector<QRadioButton*> FButtons; // children of this box
};

// The class library's spin edit: a value that stays within its range; a text that is not a
// number counts as the minimum. Changed follows every change of the text, typed or set,
// including texts that are not (yet) a number.
class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* Parent);
    int Value() const;
    void SetValue(int V) { setValue(V); }
signals:
    void Changed();

protected:
    void focusOutEvent(QFocusEvent* Event) override;
};

class TfrmParameters : public QDialog {
    Q_OBJECT
public:
    explicit TfrmParameters(QWidget* Parent = nullptr);

    // How Apply marks the definition modified: the main window's SetModified. Apply stores
    // the values even while none is set.
    std::function<void(bool)> SetModified;

    TRadioGroup* radgrpLED;
    QGroupBox* grpboxKeyRollover;
    QPlainTextEdit* memoKeyRollover;
    QRadioButton* radbtnKeyRoll1;
    QRadioButton* radbtnKeyRoll2;
    QGroupBox* grpboxAutorepeat;
    QLabel* lblPacing;
    TSpinEdit* spinCharacterPacing;
    QGroupBox* grpboxDownloadDelay;
    QLabel* lblDelay;
    TSpinEdit* spinDownloadDelay;
    QPushButton* btnApply;
    QPushButton* btnCancel;

public slots:
    void FormShow();
    void radgrpLEDClick();
    void spinCharacterPacingChange();
    void radbtnKeyRoll1Click();
    void radbtnKeyRoll2Click();
    void btnApplyClick();
    void btnCancelClick();

    // The title bar's close button: closed as Cancel, nothing stored.
    void reject() override;

    void setVisible(bool Visible) override;

protected:
    void showEvent(QShowEvent* Event) override;
};

// The key roll-over value that Apply stores: set when the dialog is shown and by the two
// radio buttons.
extern int32_t KeyRoll;

// The one dialog, made by the program block at start (which owns it).
extern TfrmParameters* frmParameters;
