#include "About.h"

#include "Dialogs.h"
#include "Paths.h"
#include "QtApplication.h"
#include "QtDialogs.h"
#include "Version.h"

#include <QPainter>
#include <QPixmap>

#include <cstring>
#include <memory>
#include <vector>

namespace {

const char* const Navy = "color: #000080;";

QPixmap LogoPicture()
{
    QPixmap pm = ScreenPicture(48, 48);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x00, 0x00, 0x80));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 44, 44), 8, 8);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(30);
    p.setFont(f);
    p.drawText(QRectF(2, 2, 44, 44), Qt::AlignCenter, "Q");
    return pm;
}

} // namespace

TfrmAbout::TfrmAbout(QWidget* Parent)
    : QDialog(Parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
{
    setObjectName("frmAbout");
    setWindowTitle("About");
    setFixedSize(251, 170);
    setFont(FormFont());
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);

    Panel1 = new TFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 235, 122);

    imgLogo = new QLabel(Panel1);
    imgLogo->setObjectName("imgLogo");
    imgLogo->setPixmap(LogoPicture());
    imgLogo->setGeometry(10, 10, 48, 48);

    lblProduct = new QLabel("Keysmith Redefinition Software for Quillboard 591", Panel1);
    lblProduct->setObjectName("lblProduct");
    lblProduct->setWordWrap(true);
    lblProduct->setStyleSheet(QString(Navy) + "font-weight: bold;");
    lblProduct->setGeometry(68, 10, 158, 48);

    lblVersion = new QLabel("Version x.xx - beta", Panel1);
    lblVersion->setObjectName("lblVersion");
    lblVersion->setStyleSheet(Navy);
    lblVersion->setGeometry(68, 64, 158, 20);

    lblCopyright = new QLabel("Copyright \u00a9 Quillboard", Panel1);
    lblCopyright->setObjectName("lblCopyright");
    lblCopyright->setStyleSheet(Navy);
    lblCopyright->setGeometry(10, 94, 216, 20);

    btnOk = new QPushButton("OK", this);
    btnOk->setObjectName("btnOk");
    btnOk->setGeometry(88, 137, 75, 27);
    btnOk->setDefault(true);
    btnOk->setFocus();
    connect(btnOk, &QPushButton::clicked, this, &TfrmAbout::btnOkClick);

    FormCreate();
}

void TfrmAbout::FormCreate()
{
    lblVersion->setText(QString::fromStdString("Version " + FileVersionText()));
}

void TfrmAbout::btnOkClick()
{
    done(mrOk);
}

std::string TfrmAbout::FileVersionText()
{
    const std::string path = ProgramFileName();
    uint32_t handle = 0;
    const uint32_t size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) return "NA";
    std::vector<unsigned char> buffer(size);
    const void* value = nullptr;
    uint32_t len = 0;
    if (!GetFileVersionInfoA(path, 0, size, buffer.data()) ||
        !VerQueryValueA(buffer.data(), "\\StringFileInfo\\040904E4\\FileVersion", &value, &len))
        return "NA";
    const auto* text = static_cast<const char*>(value);
    return std::string(text, strnlen(text, len)).substr(0, 5);
}

QPoint CentredOn(const QRect& Main, const QSize& Box)
{
    return {Main.left() + Main.width() / 2 - Box.width() / 2, Main.top() + Main.height() / 2 - Box.height() / 2};
}

void ShowAboutBox(const QWidget& CentreOn)
{
    auto box = std::make_unique<TfrmAbout>();
    const QRect main = CentreOn.frameGeometry();
    PlaceFrame(*box, [main, size = box->size()](const QMargins& Frame) { return CentredOn(main, size.grownBy(Frame)); });
    box->exec();
}
