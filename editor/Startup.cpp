#include "Startup.h"

#include "Files.h"
#include "Forms.h"
#include "IniFiles.h"
#include "Paths.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "SysUtils.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QStyle>
#include <QTimer>

std::string SettingsFileName()
{
    return ProgramFolder() + "Keysmith591.ini";
}

bool StartupQuestionWanted()
{
    return !FileExists(SettingsFileName());
}

TStartupForm::TStartupForm(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("StartupForm");
    setWindowTitle("Keysmith");
    // Client area 290 x 172 inside a border of 3.
    setFixedSize(290, 172);
    setFont(FormFont());
    setContentsMargins(3, 3, 3, 3);
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(11, 8, 268, 116);
    Label1 = new QLabel("Would you like to read the \"Getting Started\" tutorial?", GroupBox1);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    Label1->setGeometry(10, 8, 250, 34);
    rbYes = new QRadioButton("Yes", GroupBox1);
    rbYes->setObjectName("rbYes");
    rbYes->setGeometry(20, 44, 240, 20);
    rbYes->setChecked(true);
    rbLater = new QRadioButton("No (remind me later)", GroupBox1);
    rbLater->setObjectName("rbLater");
    rbLater->setGeometry(20, 66, 240, 20);
    rbNo = new QRadioButton("No (don't show this again)", GroupBox1);
    rbNo->setObjectName("rbNo");
    rbNo->setGeometry(20, 88, 240, 20);

    btnOK = new QPushButton(style()->standardIcon(QStyle::SP_DialogApplyButton), "OK", this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry((290 - 75) / 2, 134, 75, 27);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &TStartupForm::btnOKClick);

    FormCreate();
}

void TStartupForm::FormCreate()
{
    // The tool-window border: a small caption bar, and without border icons no close box.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint);
}

void TStartupForm::showEvent(QShowEvent* Event)
{
    if (!Event->spontaneous()) {
        CentreOnScreen(*this);
    }
    QDialog::showEvent(Event);
}

void TStartupForm::changeEvent(QEvent* Event)
{
    QDialog::changeEvent(Event);
    // It has no border icons, but some window managers minimise it all the same; without a
    // task bar it would then be lost. It comes back at once, once the state change is done.
    if (Event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        QTimer::singleShot(0, this, [this] {
            if (isVisible() && (windowState() & Qt::WindowMinimized)) setWindowState(windowState() & ~Qt::WindowMinimized);
        });
}

void TStartupForm::reject()
{
}

void TStartupForm::closeEvent(QCloseEvent* Event)
{
    Event->ignore();
}

void TStartupForm::btnOKClick()
{
    hide();
    if (rbYes->isChecked()) {
        if (OnGettingStarted) OnGettingStarted();
    } else if (rbNo->isChecked()) {
        // A folder that cannot be written reports "Unable to write to ..." through the
        // application object; the file then does not come into being and the question
        // returns at the next start.
        RunGuarded([] {
            TIniFile ini(SettingsFileName());
            ini.WriteString("CONFIGURATION", "Model_Number", "Keysmith591");
            ini.WriteBool("CONFIGURATION", "Hide_StartBox", true);
            ini.UpdateFile();
        });
    }
}
