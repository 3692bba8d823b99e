#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <cstdint>
#include <optional>
#include <vector>

#include "presenter/HexView.h"

class QLabel;
class QPushButton;
class QTabBar;
class QTableView;

namespace trilo::gui {

class Dialogs;

using Bytes = std::vector<std::uint8_t>;

// The bytes of the chip, of the file, or of both with a row of each in turn: 16 byte columns
// and the row's ASCII, the address in the row's header. The view asks only for the cells it
// paints, so the largest memory costs no more widgets than the smallest.
class HexModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Side { Chip, File, Both };
    static constexpr int kAsciiColumn = static_cast<int>(kBytesPerRow);

    HexModel(const Bytes& chip, const Bytes& file, const Differences& differences)
        : chip_(chip), file_(file), differences_(differences) {}
    // What the model shows; the bytes it refers to changed.
    void show(Side side);
    Side side() const { return side_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The offset of a byte's cell; nothing for the ASCII column or a cell past the end.
    std::optional<std::size_t> offsetAt(const QModelIndex& index) const;
    // The cell of offset (with both sides, the file's).
    QModelIndex indexOf(std::size_t offset) const;
    // The size of what is shown: with both sides, the longer.
    std::size_t size() const;
    // The bytes of the cells as hex text, a line for each row.
    QString hexText(QModelIndexList cells) const;

private:
    const Bytes& bytesOfRow(int row) const;
    std::size_t offsetOfRow(int row) const;

    const Bytes& chip_;
    const Bytes& file_;
    const Differences& differences_;
    Side side_ = Side::Chip;
};

// "Data": the chip's bytes as the last read left them, the data file as a write takes it,
// and where the two differ, with the checksums of each side. Both sides come at their tools'
// addresses (an AVR flash low byte first). Bytes of another device than the file is read
// for are shown, never compared.
class DataWindow final : public QWidget {
    Q_OBJECT
public:
    DataWindow(Dialogs& dialogs, QWidget* parent);

    // memory: "FLASH" or "EEPROM"; device: the one read; avrFlash: the footer says in which
    // order an AVR flash's words are shown.
    void setChip(Bytes bytes, const QString& memory, const QString& device, bool avrFlash);
    // The file's bytes as a write into device takes them, or why there are none.
    void setFile(const QString& name, Bytes bytes, const QString& device, bool avrFlash);
    void setFileRefused(const QString& name, const QString& why, const QString& device);
    void setReadEnabled(bool on);
    // Every text of the window in the chosen language, as made and when it changes.
    void retranslate();

    // "Rozdíly" at offset, or at the first difference it finds.
    void showDifferences(std::optional<std::size_t> at);
    void goToAddress();
    void nextDifference(bool forward);
    void copySelection();

    HexModel::Side side() const { return model_.side(); }
    // The offset of the current cell; nothing without one.
    std::optional<std::size_t> currentOffset() const;
    std::size_t differenceCount() const { return differences_.count(); }

signals:
    // "Načíst čip a porovnat": the main window reads the chip and then calls showDifferences.
    void readRequested();
    // The window was closed at that size.
    void closed(QSize size);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void compare();
    // The chip's bytes are of another device than the one the file is read for.
    bool otherDevice() const;
    void showSide(int tab);
    void goTo(std::size_t offset);
    void updateTexts();

    Dialogs& dialogs_;
    Bytes chip_;
    Bytes file_;
    Differences differences_;
    HexModel model_;
    QString memory_;
    QString chipDevice_;
    QString fileDevice_;
    QString fileName_;
    QString fileRefusal_;
    bool chipAvrFlash_ = false;
    bool fileAvrFlash_ = false;
    QTabBar* tabs_ = nullptr;
    QLabel* caption_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* footer_ = nullptr;
    QPushButton* readButton_ = nullptr;
};

}  // namespace trilo::gui
