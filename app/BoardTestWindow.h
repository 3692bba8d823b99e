#pragma once

#include <QDialog>
#include <vector>

#include "board/BoardCheck.h"

class QLabel;
class QPushButton;

namespace trilo::gui {

// Index > Test desky: each step of the board test with its verdict, what it found and what
// to check, filled in as the steps end. Shown without blocking, so the main window paints
// meanwhile and no test waits on it; it stays open with the outcome until closed.
class BoardTestWindow : public QDialog {
    Q_OBJECT
public:
    explicit BoardTestWindow(QWidget* parent = nullptr);
    // The window's words in the chosen language, as made and when it changes.
    void retranslate();

    // A step ended; the first step starts a new run, every other step waiting again.
    void showStep(const BoardCheckResult& step);

    // What a row shows, for tests: "OK", "CHYBA", "nezkoušeno", or "…" while it waits.
    QString verdict(BoardCheck check) const;
    QString detail(BoardCheck check) const;
    QString summary() const;

private:
    struct Row {
        QLabel* name;
        QLabel* verdict;
        QLabel* detail;
    };
    const Row& row(BoardCheck check) const;

    std::vector<Row> rows_;
    QLabel* summary_ = nullptr;
    QPushButton* close_ = nullptr;
    BoardTestResult shown_;
};

}  // namespace trilo::gui
