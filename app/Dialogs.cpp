#include "app/Dialogs.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextDocument>
#include <QTranslator>
#include <string_view>

#include "base/Text.h"
#include "formats/DataFormat.h"

namespace trilo::gui {

namespace {

// A question whose No would discard something: Esc and the close button do nothing, so only
// a deliberate answer closes it. Without this, the box would take No for Esc by itself.
class FirmQuestionBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel)) {
            event->accept();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (clickedButton() == nullptr) {
            event->ignore();
            return;
        }
        QMessageBox::closeEvent(event);
    }
};

void setUp(QMessageBox& box, const QString& text, QMessageBox::Icon icon) {
    box.setWindowTitle(kAppTitle);
    box.setText(text);
    box.setIcon(icon);
}

}  // namespace

void useLanguageInQt() {
    static QTranslator translator;
    static std::string installed;
    const std::string wanted = language();
    if (wanted == installed) {
        return;
    }
    QCoreApplication::removeTranslator(&translator);
    installed = wanted;
    if (translator.load(QStringLiteral("qtbase_") + QString::fromStdString(wanted),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(&translator);
    }
}

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, BoxKind kind, const QString& text) {
    if (kind == BoxKind::YesNo) {
        return makeMessageBox(parent, Question{text.toStdString()});
    }
    auto box = std::make_unique<QMessageBox>(parent);
    setUp(*box, text, kind == BoxKind::Error ? QMessageBox::Critical : QMessageBox::Information);
    box->setStandardButtons(QMessageBox::Ok);
    return box;
}

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* parent, const Question& question) {
    std::unique_ptr<QMessageBox> box = question.escapeAnswersNo
                                           ? std::make_unique<QMessageBox>(parent)
                                           : std::make_unique<FirmQuestionBox>(parent);
    // The program's own questions carry the information icon, not the question mark.
    setUp(*box, QString::fromStdString(question.text), QMessageBox::Information);
    if (!question.detail.empty()) {
        // A file name is shown as it is, never taken for markup.
        const QString detail = QString::fromStdString(question.detail);
        box->setInformativeText(Qt::mightBeRichText(detail) ? Qt::convertFromPlainText(detail)
                                                            : detail);
    }
    box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box->setDefaultButton(question.yesIsDefault ? QMessageBox::Yes : QMessageBox::No);
    if (question.escapeAnswersNo) {
        box->setEscapeButton(QMessageBox::No);
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

bool QtDialogs::yesNo(QWidget* parent, const Question& question) {
    return makeMessageBox(parent, question)->exec() == QMessageBox::Yes;
}

void QtDialogs::error(QWidget* parent, const QString& text) {
    makeMessageBox(parent, BoxKind::Error, text)->exec();
}

namespace {

// The extensions of a format as the dialogs take them, without the dot.
QStringList suffixesOf(const DataFormat& format) {
    QStringList suffixes;
    for (const std::string_view extension : format.extensions) {
        suffixes << QString::fromLatin1(extension.substr(1).data(),
                                        static_cast<qsizetype>(extension.size() - 1));
    }
    return suffixes;
}

// The extensions as patterns that take any letter case, as DOS tools wrote the names.
QString anyCasePatterns(const QStringList& suffixes) {
    QStringList patterns;
    for (const QString& suffix : suffixes) {
        QString pattern = QStringLiteral("*.");
        for (const QChar c : suffix) {
            pattern += c.isLetter() ? QStringLiteral("[%1%2]").arg(c, c.toUpper()) : QString(c);
        }
        patterns << pattern;
    }
    return patterns.join(QLatin1Char(' '));
}

}  // namespace

std::unique_ptr<QFileDialog> makeFileDialog(QWidget* parent, FileDialogKind kind,
                                            const QString& preset) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    const bool save = kind == FileDialogKind::Save;
    const QString suffix = QFileInfo(preset).suffix().toLower();
    // Every data file first, then each kind, then everything; the dialog starts with the
    // filter that shows the current file, every data file when there is none.
    const QString everyFile = QString::fromUtf8(_("Všechny soubory (*)"));
    QStringList filters{QString()};
    QStringList everySuffix;
    QString current = preset.isEmpty() ? QString() : everyFile;
    QHash<QString, QString> typedSuffix;
    for (const DataFormat& format : dataFormats()) {
        // A format the program only reads (ELF) is no choice for a save.
        if (save && !format.writable()) {
            continue;
        }
        const QStringList suffixes = suffixesOf(format);
        const QString filter = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(_(format.filter)),
                                                             anyCasePatterns(suffixes));
        filters << filter;
        everySuffix << suffixes;
        typedSuffix.insert(filter, suffixes.constFirst());
        if (suffixes.contains(suffix)) {
            current = filter;
        }
    }
    filters.first() = QString::fromStdString(
        format(_("Datové soubory ({})"), anyCasePatterns(everySuffix).toStdString()));
    filters << everyFile;
    if (current.isEmpty()) {
        current = filters.constFirst();
    }
    dialog->setNameFilters(filters);
    dialog->setOption(QFileDialog::HideNameFilterDetails);
    dialog->selectNameFilter(current);
    // Whether a file exists, and whether to overwrite it, is the command's question.
    dialog->setFileMode(QFileDialog::AnyFile);
    if (save) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        // A name typed without an extension takes the one of the kind of file chosen.
        auto suffixFor = [typedSuffix](const QString& filter) {
            return typedSuffix.value(filter, suffixesOf(rawFormat()).constFirst());
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
