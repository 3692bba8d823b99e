#include "app/Dialogs.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
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

void QtDialogs::info(QWidget* parent, const QString& text, const QString& detail) {
    auto box = makeMessageBox(parent, BoxKind::Info, text);
    if (!detail.isEmpty()) {
        box->setDetailedText(detail);
    }
    box->exec();
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
    // The label names *.BIN as the user knows it from DOS; the patterns take any letter case.
    const QString hexFilter =
        QStringLiteral("Intel HEX (*.[hH][eE][xX] *.[iI][hH][xX] *.[iI][hH][eE][xX])");
    const QString srecFilter = QStringLiteral(
        "Motorola S-record (*.[sS][rR][eE][cC] *.[sS]19 *.[sS]28 *.[sS]37 "
        "*.[mM][oO][tT])");
    QStringList filters{QStringLiteral("Binární soubory *.BIN (*.[bB][iI][nN])"),
                        QStringLiteral("Všechny soubory (*)"), hexFilter, srecFilter};
    if (kind == FileDialogKind::Open) {
        // Read, never written.
        filters.append(QStringLiteral("ELF (*.[eE][lL][fF])"));
    }
    dialog->setNameFilters(filters);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    // Whether a file exists, and whether to overwrite it, is the command's question.
    dialog->setFileMode(QFileDialog::AnyFile);
    if (kind == FileDialogKind::Save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->setDefaultSuffix(QStringLiteral("bin"));
        // A name typed without an extension takes the one of the kind of file chosen.
        QObject::connect(dialog.get(), &QFileDialog::filterSelected, dialog.get(),
                         [d = dialog.get(), hexFilter, srecFilter](const QString& filter) {
                             d->setDefaultSuffix(filter == hexFilter    ? QStringLiteral("hex")
                                                 : filter == srecFilter ? QStringLiteral("srec")
                                                                        : QStringLiteral("bin"));
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

std::optional<QString> QtDialogs::line(QWidget* parent, const QString& label,
                                       const QString& preset) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, kAppTitle, label, QLineEdit::Normal, preset, &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

void DesktopUrlOpener::open(const QUrl& url) {
    // Without a browser there is nothing to do; the About box stays as it is.
    (void)QDesktopServices::openUrl(url);
}

}  // namespace trilo::gui
