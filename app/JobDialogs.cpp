// The dialogs of jobs and production runs, as QtDialogs shows them.
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Dialogs.h"
#include "base/Text.h"

namespace trilo::gui {

namespace {

QString translated(const char* text) {
    return QString::fromUtf8(_(text));
}

QString filled(const char* pattern, const std::string& value) {
    return QString::fromStdString(format(_(pattern), value));
}

// A dialog of a text to read and copy, with an accepting and a closing button.
bool textDialog(QWidget* parent, const QString& title, const QString& head, const QString& text,
                const QString& accept, const QString& close) {
    QDialog dialog(parent);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    if (!head.isEmpty()) {
        auto* label = new QLabel(head, &dialog);
        label->setTextFormat(Qt::PlainText);
        layout->addWidget(label);
    }
    auto* lines = new QPlainTextEdit(text, &dialog);
    lines->setReadOnly(true);
    lines->setLineWrapMode(QPlainTextEdit::NoWrap);
    lines->setAccessibleName(title);
    lines->setMinimumSize(640, 220);
    layout->addWidget(lines);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* yes = buttons->addButton(accept, QDialogButtonBox::AcceptRole);
    buttons->addButton(close, QDialogButtonBox::RejectRole);
    yes->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    lines->moveCursor(QTextCursor::End);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

std::optional<QString> QtDialogs::otherFile(QWidget* parent, bool save, View::OtherFile kind,
                                            const QString& preset) {
    const bool job = kind == View::OtherFile::Job;
    QFileDialog dialog(parent);
    dialog.setNameFilters(
        {job ? translated(N_("Úlohy (*.trilo)")) : translated(N_("Protokol CSV (*.csv)")),
         translated(N_("Všechny soubory (*)"))});
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    // Whether to overwrite is the command's question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDefaultSuffix(job ? QStringLiteral("trilo") : QStringLiteral("csv"));
    if (!preset.isEmpty()) {
        const QFileInfo info(preset);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

bool QtDialogs::nextChip(QWidget* parent, const ProductionStatus& status) {
    QString head;
    if (!status.job.empty()) {
        head = filled(N_("Úloha {}"), status.job) + QLatin1Char('\n');
    }
    head += filled(N_("Deska: {}"), status.board) + QLatin1Char('\n') +
            translated(N_("Každý čip:")) + QLatin1Char('\n');
    for (const std::string& step : status.plan) {
        head += QString::fromStdString(step) + QLatin1Char('\n');
    }
    head += QLatin1Char('\n') + QString::fromStdString(status.counts);
    if (status.nextSerial) {
        head += QLatin1Char('\n') +
                filled(N_("Další sériové číslo: {}"), std::to_string(*status.nextSerial));
    }
    head += QStringLiteral("\n\n") + translated(N_("Vložte čip do patice."));
    QString lines;
    for (const std::string& line : status.lastChips) {
        lines += QString::fromStdString(line) + QLatin1Char('\n');
    }
    return textDialog(parent, translated(N_("Sériové programování")), head, lines,
                      translated(N_("&Další čip")), translated(N_("&Konec")));
}

bool QtDialogs::protocol(QWidget* parent, const QString& text) {
    return textDialog(parent, translated(N_("Protokol")), {}, text, translated(N_("&Uložit…")),
                      translated(N_("&Zavřít")));
}

}  // namespace trilo::gui
