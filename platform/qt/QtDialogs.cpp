#include "QtDialogs.h"

#include "QtApplication.h"
#include "QtText.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>
#include <map>

namespace {

QString Q(const std::string& s)
{
    return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size()));
}

QMessageBox::Icon QtIcon(TMsgIcon icon)
{
    switch (icon) {
    case TMsgIcon::Stop: return QMessageBox::Critical;
    case TMsgIcon::Information: return QMessageBox::Information;
    case TMsgIcon::Question: return QMessageBox::Question;
    case TMsgIcon::Warning: return QMessageBox::Warning;
    case TMsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// A box's picture of 32 window pixels, drawn at the screen's pixel ratio: the style has only
// pictures of 32 pixels, which a scaled desktop enlarges and blurs. Drawn as the style's are:
// a speech bubble with a blue "?" or "i", a red disc with a white cross, a yellow triangle
// with a black "!", each with a grey shadow.
QPixmap BoxPicture(QMessageBox::Icon Icon)
{
    QPixmap picture = ScreenPicture(32, 32);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor shadow(0, 0, 0, 90);
    auto bubble = [](QPointF At) {
        QPainterPath path;
        path.addEllipse(QRectF(At, QSizeF(27, 22)));
        QPainterPath tail;
        tail.moveTo(At + QPointF(6, 17));
        tail.lineTo(At + QPointF(5, 28));
        tail.lineTo(At + QPointF(13, 20));
        tail.closeSubpath();
        return path.united(tail);
    };
    auto mark = [&p](const QString& Text, const QRectF& Box, const QColor& Colour) {
        QFont f("Liberation Serif");
        f.setPixelSize(21);
        f.setBold(true);
        p.setFont(f);
        p.setPen(Colour);
        p.drawText(Box, Qt::AlignCenter, Text);
    };
    switch (Icon) {
    case QMessageBox::Question:
    case QMessageBox::Information:
        p.fillPath(bubble({3.5, 3.5}), shadow);
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPath(bubble({1.5, 1.5}));
        mark(Icon == QMessageBox::Question ? "?" : "i", QRectF(1.5, 1.5, 27, 22), QColor(0, 0, 255));
        break;
    case QMessageBox::Critical:
        p.setPen(Qt::NoPen);
        p.setBrush(shadow);
        p.drawEllipse(QRectF(4, 4, 27, 27));
        p.setPen(QPen(QColor(128, 0, 0), 1));
        p.setBrush(QColor(255, 0, 0));
        p.drawEllipse(QRectF(1.5, 1.5, 27, 27));
        p.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::SquareCap));
        p.drawLine(QPointF(10, 10), QPointF(20, 20));
        p.drawLine(QPointF(20, 10), QPointF(10, 20));
        break;
    case QMessageBox::Warning: {
        const QPolygonF triangle{{15, 1.5}, {29.5, 27.5}, {0.5, 27.5}};
        p.setPen(Qt::NoPen);
        p.setBrush(shadow);
        p.drawPolygon(triangle.translated(2, 2.5));
        p.setPen(QPen(Qt::black, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(255, 255, 0));
        p.drawPolygon(triangle);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(13.2, 8, 3.6, 12), 1.5, 1.5);
        p.drawEllipse(QRectF(13, 21.5, 4, 4));
        break;
    }
    case QMessageBox::NoIcon: break;
    }
    return picture;
}

// QMessageBox works out its size only as it is shown.
class TQtMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool Centred = true;

protected:
    void showEvent(QShowEvent* E) override
    {
        if (!E->spontaneous()) KeepLinesWhole();
        QMessageBox::showEvent(E);
        if (Centred && !E->spontaneous()) CentreOnScreen(*this);
    }

private:
    // The platform's boxes grow with their longest line to well over half the screen's width
    // before they wrap one, Qt's at half of it (500 pixels at most). The text's label asks for
    // that width, which Qt's own sizing then keeps; a line longer still wraps between words, as
    // the box stays within the width beyond which Qt would break lines inside a word: the
    // screen's up to 1024 pixels, else 480 fewer, at most 1000.
    void KeepLinesWhole()
    {
        auto* label = findChild<QLabel*>("qt_msgbox_label");
        if (!label || !layout() || !screen()) return;
        const int screenWidth = screen()->availableGeometry().width();
        const int widest = std::min(screenWidth * 3 / 4, screenWidth <= 1024 ? screenWidth : std::min(screenWidth - 480, 1000));
        label->setMinimumWidth(0);
        label->setWordWrap(false);
        layout()->activate();
        const int line = label->minimumSizeHint().width();
        const int rest = layout()->totalMinimumSize().width() - line;
        label->setMinimumWidth(std::max(0, std::min(line, widest - rest)));
    }
};

} // namespace

std::vector<std::pair<std::string, std::string>> FilterEntries(const std::string& Filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const auto bar = Filter.find('|', start);
        parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        entries.emplace_back(parts[i], patterns);
    }
    return entries;
}

namespace {

// Puts the frame's top left corner at Corner by placing the window's own corner inside it: a
// window manager puts the frame of a window it maps where the window asked to stand, so a
// position that counted the frame in would be counted twice on every showing after the first.
void PlaceClient(QWidget& Window, const QPoint& Corner, const QMargins& Frame)
{
    Window.setGeometry(QRect(Corner + QPoint(Frame.left(), Frame.top()), Window.size()));
}

// Places the window again once the window manager has framed and shown it: its frame may
// differ from the one it was placed for, and a window manager may have moved it to keep it on
// the screen. By then the window manager's own placing has reached the program.
class TPlaceWhenFramed : public QObject {
public:
    TPlaceWhenFramed(QWidget& Window, QWindow& Native, TFrameCorner Corner)
        : QObject(&Window), FWindow(Window), FCorner(std::move(Corner))
    {
        Native.installEventFilter(this);
    }
    bool eventFilter(QObject* Watched, QEvent* E) override
    {
        auto* w = qobject_cast<QWindow*>(Watched);
        if (w && E->type() == QEvent::Expose && w->isExposed()) {
            w->removeEventFilter(this);
            const QMargins frame = w->frameMargins();
            const QPoint corner = FCorner(frame);
            if (FWindow.frameGeometry().topLeft() != corner) PlaceClient(FWindow, corner, frame);
            deleteLater();
        }
        return false;
    }

private:
    QWidget& FWindow;
    TFrameCorner FCorner;
};

} // namespace

void PlaceFrame(QWidget& Window, TFrameCorner Corner)
{
    // The window manager tells a window's frame only once it has framed it; until then, a
    // frame it gave another window of the program stands for it.
    const QWindow* native = Window.windowHandle();
    QMargins frame = native ? native->frameMargins() : QMargins();
    const bool framed = !frame.isNull() || (Window.windowFlags() & Qt::FramelessWindowHint);
    if (!framed)
        for (const QWindow* other : QGuiApplication::topLevelWindows())
            if (other != Window.windowHandle() && other->isVisible() && !other->frameMargins().isNull()) {
                frame = other->frameMargins();
                break;
            }
    PlaceClient(Window, Corner(frame), frame);
    if (framed) return;
    // Made only now, so that it is made where the window was placed: a window that never runs
    // a loop (the loader's) would otherwise stand in Qt's books where it was made.
    Window.winId();
    if (QWindow* made = Window.windowHandle()) new TPlaceWhenFramed(Window, *made, std::move(Corner));
}

void KeepAboveStayOnTopWindows(QWidget& Window)
{
    bool above = false;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != &Window && w->isVisible() && (w->windowFlags() & Qt::WindowStaysOnTopHint)) above = true;
    // Changing the flags of a shown window would hide it.
    if (!Window.isVisible() && bool(Window.windowFlags() & Qt::WindowStaysOnTopHint) != above)
        Window.setWindowFlag(Qt::WindowStaysOnTopHint, above);
}

void CentreOnScreen(QWidget& Window)
{
    if (!QGuiApplication::primaryScreen()) return;
    PlaceFrame(Window, [&Window](const QMargins& Frame) {
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize outer = Window.size().grownBy(Frame);
        // A window larger than the area keeps its top left corner, and with it its title
        // bar, on the screen: there it can still be moved.
        return QPoint(std::max(area.x(), area.x() + (area.width() - outer.width()) / 2),
                      std::max(area.y(), area.y() + (area.height() - outer.height()) / 2));
    });
}

int TQtDialogSeam::ShowMessage(const TMessageRequest& Request)
{
    // Lines end in CR LF in the programs' texts; a label breaks a line at LF alone.
    QString text = QtTextOf(Request.Text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    // A box with an owner is modal for that window alone. Owners are the layer's own hidden
    // windows, none of them on the screen: such a box blocks no other window, above all not
    // the notification-area icon, which belongs to the desktop, not to the program. A box
    // without one is modal for every window of the program.
    const bool owned = Request.Owner != 0;
    TQtMessageBox box(QtIcon(Request.Icon), QtTextOf(Request.Caption), text, QMessageBox::NoButton,
                      owned ? nullptr : QApplication::activeWindow());
    if (owned) box.setWindowModality(Qt::WindowModal);
    box.Centred = Request.CenterOnScreen;
    if (auto* picture = box.findChild<QLabel*>("qt_msgboxex_icon_label"); picture && box.icon() != QMessageBox::NoIcon)
        picture->setPixmap(BoxPicture(box.icon()));
    KeepAboveStayOnTopWindows(box);
    std::map<QAbstractButton*, int> results;
    const auto captions = Request.ButtonCaptions();
    const std::vector<int> values = Request.Buttons == TMsgButtons::YesNoCancel
                                        ? std::vector<int>{mrYes, mrNo, mrCancel}
                                        : std::vector<int>{mrOk};
    for (size_t i = 0; i < captions.size(); ++i) {
        QPushButton* b = box.addButton(Q(captions[i]), QMessageBox::ActionRole);
        results[b] = values[i];
        if (values[i] == Request.DefaultResult) box.setDefaultButton(b);
        if (values[i] == Request.EscapeResult) box.setEscapeButton(b);
    }
    box.exec();
    const auto it = results.find(box.clickedButton());
    return it == results.end() ? Request.EscapeResult : it->second;
}

TQtFileDialog::TQtFileDialog(const TFileDialog& Dialog, QWidget* Parent)
    : QFileDialog(Parent, Q(Dialog.Title), Q(Dialog.InitialDir)), FCentred(Dialog.CenterOnScreen)
{
    // Qt's own widgets: only these show the descriptions as given and take a typed name whole.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setAcceptMode(Dialog.Kind == TFileDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    setFileMode(Dialog.Kind == TFileDialogKind::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!Dialog.DefaultExt.empty()) setDefaultSuffix(Q(Dialog.DefaultExt));
    if (!Dialog.OverwritePrompt) setOption(QFileDialog::DontConfirmOverwrite, true);

    // Qt wants "description (patterns)" and tidies blanks; the list shows the description.
    const auto entries = FilterEntries(Dialog.Filter);
    QStringList filters;
    for (const auto& [description, patterns] : entries) filters << Q(description + " (" + patterns + ")");
    setNameFilters(filters);
    if (Dialog.FilterIndex >= 1 && Dialog.FilterIndex <= filters.size()) selectNameFilter(nameFilters()[Dialog.FilterIndex - 1]);
    if (auto* types = findChild<QComboBox*>("fileTypeCombo"))
        for (int i = 0; i < types->count() && i < static_cast<int>(entries.size()); ++i)
            types->setItemText(i, Q(entries[static_cast<size_t>(i)].first));

    if (!Dialog.FileName.empty()) selectFile(Q(Dialog.FileName));
    if (!Dialog.Resizable) {
        setSizeGripEnabled(false);
        setFixedSize(sizeHint());
    }
    // Runs after Qt's own check of the typed name, which rejects a name with double quotes.
    if (auto* edit = findChild<QLineEdit*>("fileNameEdit"))
        connect(edit, &QLineEdit::textChanged, this, &TQtFileDialog::UpdateAcceptButton);
}

int TQtFileDialog::ChosenFilterIndex() const
{
    const auto* types = findChild<QComboBox*>("fileTypeCombo");
    return types && types->currentIndex() >= 0 ? types->currentIndex() + 1 : 1;
}

QString TQtFileDialog::TypedPath() const
{
    const auto* edit = findChild<QLineEdit*>("fileNameEdit");
    if (!edit || edit->text().isEmpty()) return {};
    QString path = directory().absoluteFilePath(edit->text());
    const QString name = QFileInfo(path).fileName();
    if (!defaultSuffix().isEmpty() && !name.contains(u'.') && !QFileInfo(path).isDir()) path += u'.' + defaultSuffix();
    return path;
}

void TQtFileDialog::showEvent(QShowEvent* E)
{
    QFileDialog::showEvent(E);
    if (FCentred && !E->spontaneous()) CentreOnScreen(*this);
}

void TQtFileDialog::UpdateAcceptButton()
{
    const auto* edit = findChild<QLineEdit*>("fileNameEdit");
    auto* buttons = findChild<QDialogButtonBox*>("buttonBox");
    if (!edit || !buttons || !edit->text().contains(u'"')) return;
    QPushButton* ok = buttons->button(acceptMode() == AcceptSave ? QDialogButtonBox::Save : QDialogButtonBox::Open);
    if (!ok) return;
    const QFileInfo typed(TypedPath());
    ok->setEnabled(acceptMode() == AcceptSave ? !typed.fileName().isEmpty() : typed.isFile());
}

void TQtFileDialog::accept()
{
    const auto* edit = findChild<QLineEdit*>("fileNameEdit");
    if (!edit || !edit->text().contains(u'"')) {
        QFileDialog::accept();
        if (result() == QDialog::Accepted && !selectedFiles().isEmpty()) FChosen = selectedFiles().first();
        return;
    }
    const QString path = TypedPath();
    const QFileInfo typed(path);
    if (acceptMode() == AcceptOpen) {
        if (!typed.isFile()) {
            QMessageBox::warning(this, windowTitle(),
                                 tr("%1\nFile not found.\nPlease verify the correct file name was given.").arg(typed.fileName()));
            return;
        }
    } else if (typed.exists() && !testOption(DontConfirmOverwrite)) {
        if (QMessageBox::warning(this, windowTitle(), tr("%1 already exists.\nDo you want to replace it?").arg(typed.fileName()),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
            return;
    }
    FChosen = path;
    QDialog::accept();
}

bool TQtDialogSeam::ExecuteFileDialog(TFileDialog& Dialog)
{
    TQtFileDialog dlg(Dialog, QApplication::activeWindow());
    KeepAboveStayOnTopWindows(dlg);
    if (dlg.exec() != QDialog::Accepted || dlg.ChosenFile().isEmpty()) return false;
    Dialog.FilterIndex = dlg.ChosenFilterIndex();
    const QByteArray chosen = dlg.ChosenFile().toLocal8Bit();
    Dialog.FileName.assign(chosen.constData(), static_cast<size_t>(chosen.size()));
    return true;
}

void InstallQtDialogs()
{
    static TQtDialogSeam seam;
    SetDialogSeam(&seam);
}
