// The main window's side of jobs and production runs: File's job items, Data's
// "Sériové programování" and "Protokol", and the dialogs they show.
#include <QFile>
#include <QMenu>

#include "app/Triloprog.h"

namespace trilo::gui {

void TfrmTop::createJobItems(QMenu* file) {
    file->addSeparator();
    // Their words are retranslate's.
    const struct {
        const char* name;
        void (Session::*handler)();
    } items[] = {
        {"mnuOpenJob", &Session::mnuOpenJobClick},
        {"mnuSaveJob", &Session::mnuSaveJobClick},
    };
    for (const auto& item : items) {
        QAction* action = file->addAction(QString());
        action->setObjectName(QString::fromLatin1(item.name));
        connect(action, &QAction::triggered, this,
                [this, handler = item.handler] { run(handler); });
        jobItems_.push_back(action);
    }
}

void TfrmTop::createProductionItems(QMenu* data) {
    data->addSeparator();
    QAction* production = data->addAction(QString());
    production->setObjectName(QStringLiteral("mnuProduction"));
    // A command that holds the board from the first chip to the last.
    connect(production, &QAction::triggered, this,
            [this] { runBusy([this] { session_.mnuProductionClick(); }); });
    QAction* protocol = data->addAction(QString());
    protocol->setObjectName(QStringLiteral("mnuProtocol"));
    connect(protocol, &QAction::triggered, this, [this] { run(&Session::mnuProtocolClick); });
}

std::optional<std::string> TfrmTop::openOtherDialog(OtherFile kind, const std::string& preset) {
    const auto file = dialogs_.otherFile(this, false, kind, QFile::decodeName(preset.c_str()));
    if (!file) {
        return std::nullopt;
    }
    return QFile::encodeName(*file).toStdString();
}

std::optional<std::string> TfrmTop::saveOtherDialog(OtherFile kind, const std::string& preset) {
    const auto file = dialogs_.otherFile(this, true, kind, QFile::decodeName(preset.c_str()));
    if (!file) {
        return std::nullopt;
    }
    return QFile::encodeName(*file).toStdString();
}

void TfrmTop::showJobName(const std::string& name) {
    setWindowTitle(name.empty()
                       ? kAppTitle
                       : kAppTitle + QStringLiteral(" – ") + QFile::decodeName(name.c_str()));
}

bool TfrmTop::nextChip(const ProductionStatus& status) {
    return dialogs_.nextChip(this, status);
}

bool TfrmTop::showProtocol(const std::string& text) {
    return dialogs_.protocol(this, QString::fromStdString(text));
}

}  // namespace trilo::gui
