#include "app/BoardTestWindow.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Text.h"

namespace trilo::gui {

namespace {

constexpr const char* kWaiting = "…";

QString verdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Passed:
            return QStringLiteral("OK");
        case Verdict::Failed:
            return QString::fromUtf8(_("CHYBA"));
        case Verdict::NotRun:
            break;
    }
    return QString::fromUtf8(_("nezkoušeno"));
}

}  // namespace

BoardTestWindow::BoardTestWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmBoardTest"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    const auto steps = static_cast<int>(boardChecks().size());
    for (int at = 0; at < steps; ++at) {
        auto* name = new QLabel(this);
        auto* verdict = new QLabel(QString::fromUtf8(kWaiting), this);
        auto* detail = new QLabel(this);
        verdict->setObjectName(QStringLiteral("verdict%1").arg(at + 1));
        detail->setObjectName(QStringLiteral("detail%1").arg(at + 1));
        detail->setWordWrap(true);
        detail->setTextFormat(Qt::PlainText);
        detail->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // The finding and the advice are what a screen reader must read with the step.
        verdict->setBuddy(detail);
        grid->addWidget(verdict, at, 0, Qt::AlignTop);
        grid->addWidget(name, at, 1, Qt::AlignTop);
        grid->addWidget(detail, at, 2);
        rows_.push_back({name, verdict, detail});
    }
    grid->setColumnStretch(2, 1);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    layout->addWidget(summary_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    close_ = buttons->button(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    retranslate();
    resize(720, sizeHint().height());
}

void BoardTestWindow::retranslate() {
    setWindowTitle(QString::fromUtf8(_("Test desky")));
    close_->setText(QString::fromUtf8(_("&Zavřít")));
    for (BoardCheck check : boardChecks()) {
        row(check).name->setText(QString::fromUtf8(boardCheckName(check)));
    }
    // The verdicts and the summary of a run shown; what each step found keeps its words.
    for (const BoardCheckResult& step : shown_.steps) {
        row(step.check).verdict->setText(verdictText(step.verdict));
    }
    if (shown_.steps.size() == boardChecks().size()) {
        summary_->setText(QString::fromStdString(shown_.summary()));
    }
}

const BoardTestWindow::Row& BoardTestWindow::row(BoardCheck check) const {
    return rows_.at(static_cast<std::size_t>(check));
}

void BoardTestWindow::showStep(const BoardCheckResult& step) {
    if (step.check == boardChecks().front()) {
        shown_ = {};
        summary_->clear();
        for (const Row& r : rows_) {
            r.verdict->setText(QString::fromUtf8(kWaiting));
            r.detail->clear();
        }
    }
    shown_.steps.push_back(step);
    const Row& r = row(step.check);
    r.verdict->setText(verdictText(step.verdict));
    QString text = QString::fromStdString(step.found);
    if (!step.advice.empty()) {
        text += QStringLiteral("\n→ ") + QString::fromStdString(step.advice);
    }
    r.detail->setText(text);
    if (shown_.steps.size() == boardChecks().size()) {
        summary_->setText(QString::fromStdString(shown_.summary()));
    }
    // The wrapped findings need their lines: grow to them, never narrower.
    layout()->activate();
    const int needed =
        layout()->hasHeightForWidth() ? layout()->heightForWidth(width()) : sizeHint().height();
    if (needed > height()) {
        resize(width(), needed);
    }
}

QString BoardTestWindow::verdict(BoardCheck check) const {
    return row(check).verdict->text();
}

QString BoardTestWindow::detail(BoardCheck check) const {
    return row(check).detail->text();
}

QString BoardTestWindow::summary() const {
    return summary_->text();
}

}  // namespace trilo::gui
