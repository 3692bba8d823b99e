#include "app/Dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace trilo::gui {

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, BoxKind kind, const QString& text) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(kAppTitle);
    box->setText(text);
    // The program's own questions carry the information icon, not the question mark.
    box->setIcon(kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::Information);
    if (kind == BoxKind::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

void QtDialogs::info(QWidget* parent, const QString& text) {
    makeMessageBox(parent, BoxKind::Info, text)->exec();
}

bool QtDialogs::yesNo(QWidget* parent, const QString& text) {
    return makeMessageBox(parent, BoxKind::YesNo, text)->exec() == QMessageBox::Yes;
}

void QtDialogs::error(QWidget* parent, const QString& text) {
    makeMessageBox(parent, BoxKind::Error, text)->exec();
}

std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, FileDialogKind kind,
                                            const QString& preset) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    // The label names *.BIN as the user knows it from DOS; the pattern takes any letter case.
    const QString binPattern = QStringLiteral("*.[bB][iI][nN]");
    const QString hexPattern = QStringLiteral("*.[hH][eE][xX] *.[iI][hH][xX] *.[iI][hH][eE][xX]");
    const QString dataFilter =
        QStringLiteral("Datové soubory *.BIN *.HEX (%1 %2)").arg(binPattern, hexPattern);
    const QString binFilter = QStringLiteral("Binární soubory *.BIN (%1)").arg(binPattern);
    const QString hexFilter = QStringLiteral("Intel HEX (%1)").arg(hexPattern);
    const QString allFilter = QStringLiteral("Všechny soubory (*)");
    dialog->setNameFilters({dataFilter, binFilter, hexFilter, allFilter});
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    // The filter that shows the current file: its kind, every data file when there is none.
    const QString suffix = QFileInfo(preset).suffix().toLower();
    QString current = dataFilter;
    if (suffix == QLatin1String("bin")) {
        current = binFilter;
    } else if (suffix == QLatin1String("hex") || suffix == QLatin1String("ihx") ||
               suffix == QLatin1String("ihex")) {
        current = hexFilter;
    } else if (!preset.isEmpty()) {
        current = allFilter;
    }
    dialog->selectNameFilter(current);
    // Whether a file exists, and whether to overwrite it, is the command's question.
    dialog->setFileMode(QFileDialog::AnyFile);
    if (kind == FileDialogKind::Save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        // A name typed without an extension takes the one of the kind of file chosen.
        auto suffixFor = [hexFilter](const QString& filter) {
            return filter == hexFilter ? QStringLiteral("hex") : QStringLiteral("bin");
        };
        dialog->setDefaultSuffix(suffixFor(current));
        QObject::connect(dialog.get(), &QFileDialog::filterSelected, dialog.get(),
                         [d = dialog.get(), suffixFor](const QString& filter) {
                             d->setDefaultSuffix(suffixFor(filter));
                         });
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
    }
    if (!preset.isEmpty()) {
        const QFileInfo info(preset);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
    }
    return dialog;
}

namespace {

std::optional<QString> runFileDialog(QWidget* parent, FileDialogKind kind, const QString& preset) {
    auto dialog = makeFileDialog(parent, kind, preset);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog->selectedFiles().constFirst();
}

}  // namespace

std::optional<QString> QtDialogs::openFile(QWidget* parent, const QString& preset) {
    return runFileDialog(parent, FileDialogKind::Open, preset);
}

std::optional<QString> QtDialogs::saveFile(QWidget* parent, const QString& preset) {
    return runFileDialog(parent, FileDialogKind::Save, preset);
}

void DesktopUrlOpener::open(const QUrl& url) {
    // Without a browser there is nothing to do; the About box stays as it is.
    (void)QDesktopServices::openUrl(url);
}

}  // namespace trilo::gui
