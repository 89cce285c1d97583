#include "QtDialogs.h"

#include "QtText.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

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

} // namespace

std::string QtFilterFromPipes(const std::string& Filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const auto bar = Filter.find('|', start);
        parts.push_back(Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (char& c : patterns)
            if (c == ';') c = ' ';
        if (!out.empty()) out += ";;";
        out += parts[i] + " (" + patterns + ")";
    }
    return out;
}

int TQtDialogSeam::ShowMessage(const TMessageRequest& Request)
{
    // Lines end in CR LF in the programs' texts; a label breaks a line at LF alone.
    QString text = QtTextOf(Request.Text);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QMessageBox box(QtIcon(Request.Icon), QtTextOf(Request.Caption), text, QMessageBox::NoButton,
                    QApplication::activeWindow());
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
    if (Request.CenterOnScreen) {
        box.adjustSize();
        if (QScreen* s = QGuiApplication::primaryScreen())
            box.move(s->availableGeometry().center() - box.rect().center());
    }
    box.exec();
    const auto it = results.find(box.clickedButton());
    return it == results.end() ? Request.EscapeResult : it->second;
}

bool TQtDialogSeam::ExecuteFileDialog(TFileDialog& Dialog)
{
    QFileDialog dlg(QApplication::activeWindow(), Q(Dialog.Title), Q(Dialog.InitialDir), Q(QtFilterFromPipes(Dialog.Filter)));
    dlg.setAcceptMode(Dialog.Kind == TFileDialogKind::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(Dialog.Kind == TFileDialogKind::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!Dialog.DefaultExt.empty()) dlg.setDefaultSuffix(Q(Dialog.DefaultExt));
    if (!Dialog.OverwritePrompt) dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!Dialog.FileName.empty()) dlg.selectFile(Q(Dialog.FileName));
    const QStringList filters = dlg.nameFilters();
    if (Dialog.FilterIndex >= 1 && Dialog.FilterIndex <= filters.size()) dlg.selectNameFilter(filters[Dialog.FilterIndex - 1]);
    if (!Dialog.Resizable) {
        dlg.setSizeGripEnabled(false);
        dlg.setFixedSize(dlg.sizeHint());
    }
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
    if (const auto chosenFilter = filters.indexOf(dlg.selectedNameFilter()); chosenFilter >= 0)
        Dialog.FilterIndex = static_cast<int>(chosenFilter) + 1;
    const QByteArray chosen = dlg.selectedFiles().first().toLocal8Bit();
    Dialog.FileName.assign(chosen.constData(), static_cast<size_t>(chosen.size()));
    return true;
}

void InstallQtDialogs()
{
    static TQtDialogSeam seam;
    SetDialogSeam(&seam);
}
