#include "app/BoardTestWindow.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace trilo::gui {

namespace {

constexpr const char* kWaiting = "…";

QString verdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Passed:
            return QStringLiteral("OK");
        case Verdict::Failed:
            return QStringLiteral("CHYBA");
        case Verdict::NotRun:
            break;
    }
    return QStringLiteral("nezkoušeno");
}

}  // namespace

BoardTestWindow::BoardTestWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmBoardTest"));
    setWindowTitle(QStringLiteral("Test desky"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    int at = 0;
    for (BoardCheck check : boardChecks()) {
        auto* name = new QLabel(QString::fromUtf8(boardCheckName(check)), this);
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
        rows_.push_back({verdict, detail});
        ++at;
    }
    grid->setColumnStretch(2, 1);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("summary"));
    layout->addWidget(summary_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("&Zavřít"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
    resize(720, sizeHint().height());
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
