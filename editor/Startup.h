// The start-up question about the "Getting Started" tutorial, and the settings file whose
// mere existence stops it from being asked again.
#pragma once
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <string>

// program folder + "Keysmith591.ini".
std::string SettingsFileName();
// True while no file "Keysmith591.ini" is in the program folder (a folder of that name does
// not count); its content is never looked at.
bool StartupQuestionWanted();

// Shown modeless and on top; OK is its only way out (no close box, Escape does nothing).
class TStartupForm : public QDialog {
    Q_OBJECT
public:
    explicit TStartupForm(QWidget* Parent = nullptr);

    // Opens the tutorial: the main window's help item GettingStarted. The main window is
    // made after this form, so it is looked up only when the answer comes.
    std::function<void()> OnGettingStarted;

    QGroupBox* GroupBox1;
    QLabel* Label1;
    QRadioButton* rbYes;
    QRadioButton* rbLater;
    QRadioButton* rbNo;
    QPushButton* btnOK;

    void reject() override;

public slots:
    void FormCreate();
    void btnOKClick();

protected:
    void showEvent(QShowEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
};
