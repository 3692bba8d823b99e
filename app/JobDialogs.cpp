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

namespace trilo::gui {

namespace {

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
        {job ? QString::fromUtf8("Úlohy (*.trilo)") : QString::fromUtf8("Protokol CSV (*.csv)"),
         QString::fromUtf8("Všechny soubory (*)")});
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
        head = QString::fromUtf8("Úloha %1\n").arg(QString::fromStdString(status.job));
    }
    head += QString::fromUtf8("Deska: %1\nKaždý čip:\n").arg(QString::fromStdString(status.board));
    for (const std::string& step : status.plan) {
        head += QString::fromStdString(step) + QLatin1Char('\n');
    }
    head += QLatin1Char('\n') + QString::fromStdString(status.counts);
    if (status.nextSerial) {
        head += QString::fromUtf8("\nDalší sériové číslo: %1").arg(*status.nextSerial);
    }
    head += QString::fromUtf8("\n\nVložte čip do patice.");
    QString lines;
    for (const std::string& line : status.lastChips) {
        lines += QString::fromStdString(line) + QLatin1Char('\n');
    }
    return textDialog(parent, QString::fromUtf8("Sériové programování"), head, lines,
                      QString::fromUtf8("&Další čip"), QString::fromUtf8("&Konec"));
}

bool QtDialogs::protocol(QWidget* parent, const QString& text) {
    return textDialog(parent, QString::fromUtf8("Protokol"), {}, text,
                      QString::fromUtf8("&Uložit…"), QString::fromUtf8("&Zavřít"));
}

}  // namespace trilo::gui
