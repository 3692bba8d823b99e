// The main window's side of the data window: the "Data" menu, and the buffer and the file
// handed to the window whenever a read or Open changes them.
#include <QAbstractButton>
#include <QMenu>
#include <QMenuBar>
#include <variant>

#include "app/DataWindow.h"
#include "app/Triloprog.h"

namespace trilo::gui {

void TfrmTop::createDataMenu() {
    // Between "AVR" and "Index": it shows what the device menus' commands read and write.
    // Alt+D is the EEPROM's "Read".
    auto* menu = new QMenu(QStringLiteral("Da&ta"), menuBar());
    menu->setObjectName(QStringLiteral("mnuData"));
    menu->menuAction()->setObjectName(QStringLiteral("mnuData"));
    menu->setFont(font());
    menuBar()->addMenu(menu);
    QAction* show = menu->addAction(QString());
    show->setObjectName(QStringLiteral("mnuShowData"));
    show->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(show, &QAction::triggered, this, &TfrmTop::showDataWindow);
    createProductionItems(menu);
}

void TfrmTop::showDataWindow() {
    if (dataWindow_ == nullptr) {
        dataWindow_ = new DataWindow(dialogs_, this);
        dataWindow_->setFont(font());
        dataWindow_->setReadEnabled(slot(Control::btnRead).widget->isEnabled());
        session_.handle([this] {
            if (const auto size = session_.engine().dataViewSize()) {
                dataWindow_->resize(size->first, size->second);
            }
        });
        connect(dataWindow_, &DataWindow::readRequested, this, &TfrmTop::readAndCompare);
        connect(dataWindow_, &DataWindow::closed, this, [this](QSize size) {
            session_.handle(
                [&] { session_.engine().rememberDataViewSize(size.width(), size.height()); });
        });
        refreshChip();
    }
    // The device may have changed since, and with it how the file is read.
    refreshFile();
    dataWindow_->show();
    dataWindow_->raise();
    dataWindow_->activateWindow();
}

void TfrmTop::dataChanged(DataSide side) {
    if (side == DataSide::Chip) {
        ++chipReads_;
    }
    if (dataWindow_ == nullptr) {
        return;
    }
    if (side == DataSide::Chip) {
        refreshChip();
    } else {
        refreshFile();
    }
}

void TfrmTop::showDifferences(std::optional<std::size_t> at) {
    showDataWindow();
    dataWindow_->showDifferences(at);
}

void TfrmTop::refreshChip() {
    // Once saved, the buffer is gone; the window keeps showing what was read.
    session_.handle([this] {
        if (!session_.engine().holdsBuffer()) {
            return;
        }
        const auto image = session_.engine().bufferImage();
        if (const auto* bytes = std::get_if<std::vector<std::uint8_t>>(&image)) {
            const bool eeprom =
                session_.engine().files().bufferContent == commands::BufferContent::AvrEeprom;
            dataWindow_->setChip(*bytes,
                                 eeprom ? QStringLiteral("EEPROM") : QStringLiteral("FLASH"),
                                 QString::fromStdString(session_.engine().bufferDeviceName()),
                                 session_.engine().bufferIsAvrFlash());
        }
    });
}

void TfrmTop::refreshFile() {
    session_.handle([this] {
        const QString name = QString::fromStdString(session_.engine().files().CurrentFile);
        const QString device = QString::fromStdString(session_.engine().selectedDeviceName());
        auto image = session_.engine().fileImage();
        if (auto* bytes = std::get_if<std::vector<std::uint8_t>>(&image)) {
            dataWindow_->setFile(
                name, std::move(*bytes), device,
                session_.engine().fileMemory() == commands::BufferContent::AvrFlash);
        } else {
            dataWindow_->setFileRefused(name, QString::fromStdString(std::get<std::string>(image)),
                                        device);
        }
    });
}

void TfrmTop::readAndCompare() {
    // The Read button's own path: its signature check, its messages, its buffer.
    const int before = chipReads_;
    qobject_cast<QAbstractButton*>(slot(Control::btnRead).widget)->click();
    if (chipReads_ != before) {
        refreshFile();
        dataWindow_->showDifferences(std::nullopt);
    }
}

}  // namespace trilo::gui
