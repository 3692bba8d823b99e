#include "app/DataWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Dialogs.h"
#include "base/Text.h"

namespace trilo::gui {

namespace {

enum Tab { kChipTab, kFileTab, kDifferencesTab };

// Light enough for black text in light and dark themes alike; the text is set black with it.
const QColor kDiffering(0xFF, 0xB0, 0xB0);

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

QString translated(const char* text) {
    return QString::fromUtf8(_(text));
}

// A pattern of the catalogue with its placeholders filled.
template <typename... Values>
QString filled(const char* pattern, const Values&... values) {
    return fromUtf8(format(_(pattern), values.toStdString()...));
}

// The word after a row's address when both sides show: the file's row, then the chip's.
QString sideOfRow(bool file) {
    return file ? translated(N_("soubor")) : translated(N_("čip"));
}

// "1 bajt se liší", "3 bajty se liší", "12 bajtů se liší".
QString differingBytes(std::size_t count) {
    return fromUtf8(
        format(P_("{} bajt se liší", "{} bajty se liší", count), std::to_string(count)));
}

}  // namespace

// ---- The model ---------------------------------------------------------------------------

void HexModel::show(Side side) {
    beginResetModel();
    side_ = side;
    endResetModel();
}

std::size_t HexModel::size() const {
    switch (side_) {
        case Side::Chip:
            return chip_.size();
        case Side::File:
            return file_.size();
        case Side::Both:
            break;
    }
    return std::max(chip_.size(), file_.size());
}

int HexModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) {
        return 0;
    }
    const auto rows = static_cast<int>(trilo::rowCount(size()));
    return side_ == Side::Both ? 2 * rows : rows;
}

int HexModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAsciiColumn + 1;
}

const Bytes& HexModel::bytesOfRow(int row) const {
    switch (side_) {
        case Side::Chip:
            return chip_;
        case Side::File:
            return file_;
        case Side::Both:
            break;
    }
    // The file's row first, the chip's under it.
    return row % 2 == 0 ? file_ : chip_;
}

std::size_t HexModel::offsetOfRow(int row) const {
    const int memoryRow = side_ == Side::Both ? row / 2 : row;
    return static_cast<std::size_t>(memoryRow) * kBytesPerRow;
}

std::optional<std::size_t> HexModel::offsetAt(const QModelIndex& index) const {
    if (!index.isValid() || index.column() >= kAsciiColumn) {
        return std::nullopt;
    }
    const std::size_t offset = offsetOfRow(index.row()) + static_cast<std::size_t>(index.column());
    if (offset >= bytesOfRow(index.row()).size()) {
        return std::nullopt;
    }
    return offset;
}

QModelIndex HexModel::indexOf(std::size_t offset) const {
    const auto row = static_cast<int>(offset / kBytesPerRow);
    const auto column = static_cast<int>(offset % kBytesPerRow);
    if (side_ != Side::Both) {
        return index(row, column);
    }
    return index(offset < file_.size() ? 2 * row : 2 * row + 1, column);
}

QVariant HexModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const Bytes& bytes = bytesOfRow(index.row());
    if (index.column() == kAsciiColumn) {
        if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole) {
            return {};
        }
        const std::size_t start = offsetOfRow(index.row());
        const std::size_t end = std::min(start + kBytesPerRow, bytes.size());
        QString ascii;
        for (std::size_t k = start; k < end; ++k) {
            ascii += QLatin1Char(asciiOf(bytes[k]));
        }
        return ascii;
    }
    const auto offset = offsetAt(index);
    if (!offset) {
        return {};
    }
    const bool differs = differences_.at(*offset);
    switch (role) {
        case Qt::DisplayRole:
            return fromUtf8(byteText(bytes[*offset]));
        case Qt::AccessibleTextRole:
            return differs ? filled(N_("{}, liší se"), fromUtf8(byteText(bytes[*offset])))
                           : fromUtf8(byteText(bytes[*offset]));
        case Qt::BackgroundRole:
            return differs ? QVariant(kDiffering) : QVariant();
        case Qt::ForegroundRole:
            return differs ? QVariant(QColor(Qt::black)) : QVariant();
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        default:
            return {};
    }
}

QVariant HexModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (orientation == Qt::Horizontal) {
        return section == kAsciiColumn ? QStringLiteral("ASCII")
                                       : QString::number(section, 16).toUpper();
    }
    const QString address = fromUtf8(addressText(offsetOfRow(section), size()));
    if (side_ != Side::Both) {
        return address;
    }
    return address + QLatin1Char(' ') + sideOfRow(section % 2 == 0);
}

QString HexModel::hexText(QModelIndexList cells) const {
    std::sort(cells.begin(), cells.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return std::pair(a.row(), a.column()) < std::pair(b.row(), b.column());
    });
    QString text;
    int row = -1;
    for (const QModelIndex& cell : cells) {
        const auto offset = offsetAt(cell);
        if (!offset) {
            continue;
        }
        if (row != -1) {
            text += cell.row() != row ? QLatin1Char('\n') : QLatin1Char(' ');
        }
        row = cell.row();
        text += fromUtf8(byteText(bytesOfRow(cell.row())[*offset]));
    }
    return text;
}

// ---- The window --------------------------------------------------------------------------

DataWindow::DataWindow(Dialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window), dialogs_(dialogs), model_(chip_, file_, differences_) {
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Data"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    tabs_ = new QTabBar(this);
    tabs_->setObjectName(QStringLiteral("dataTabs"));
    for (int tab = kChipTab; tab <= kDifferencesTab; ++tab) {
        tabs_->addTab(QString());
    }
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("dataCaption"));
    caption_->setTextFormat(Qt::PlainText);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("dataTable"));
    table_->setModel(&model_);
    table_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    // Fixed sizes from the font: measuring each row's contents would visit every byte.
    const QFontMetrics metrics(table_->font());
    for (QHeaderView* header : {table_->horizontalHeader(), table_->verticalHeader()}) {
        header->setFont(table_->font());
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    table_->verticalHeader()->setDefaultSectionSize(metrics.height() + 4);
    table_->horizontalHeader()->setDefaultSectionSize(
        metrics.horizontalAdvance(QStringLiteral("WW")) + 10);
    table_->setColumnWidth(HexModel::kAsciiColumn,
                           metrics.horizontalAdvance(QString(kBytesPerRow, QLatin1Char('W'))) + 12);

    footer_ = new QLabel(this);
    footer_->setObjectName(QStringLiteral("dataFooter"));
    footer_->setTextFormat(Qt::PlainText);
    // Read by keyboard too: Tab reaches it and the arrows move through its text.
    footer_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    footer_->setFocusPolicy(Qt::StrongFocus);

    readButton_ = new QPushButton(this);
    readButton_->setObjectName(QStringLiteral("btnReadCompare"));

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(footer_, 1);
    bottom->addWidget(readButton_, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(caption_);
    layout->addWidget(table_, 1);
    layout->addLayout(bottom);
    setTabOrder(tabs_, table_);
    setTabOrder(table_, footer_);
    setTabOrder(footer_, readButton_);

    const struct {
        const char* name;
        QKeySequence keys;
        std::function<void()> act;
    } actions[] = {
        {"actGoTo", QKeySequence(Qt::CTRL | Qt::Key_G), [this] { goToAddress(); }},
        {"actNextDifference", QKeySequence(Qt::Key_F3), [this] { nextDifference(true); }},
        {"actPreviousDifference", QKeySequence(Qt::SHIFT | Qt::Key_F3),
         [this] { nextDifference(false); }},
        {"actCopy", QKeySequence::Copy, [this] { copySelection(); }},
    };
    for (const auto& a : actions) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(a.name));
        action->setShortcut(a.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, a.act);
        addAction(action);
    }
    connect(tabs_, &QTabBar::currentChanged, this, &DataWindow::showSide);
    connect(readButton_, &QPushButton::clicked, this, &DataWindow::readRequested);
    // Wide enough for every column beside the longest row header, and some 30 rows high.
    const int header = std::max(metrics.horizontalAdvance(sideOfRow(true)),
                                metrics.horizontalAdvance(sideOfRow(false)));
    const int width = metrics.horizontalAdvance(QStringLiteral("00000 ")) + header + 16 +
                      table_->horizontalHeader()->length() +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 48;
    resize(width, metrics.height() * 36);
    retranslate();
}

void DataWindow::retranslate() {
    tabs_->setAccessibleName(translated(N_("Zobrazení")));
    const char* const names[] = {N_("Čip"), N_("Soubor"), N_("Rozdíly")};
    for (int tab = kChipTab; tab <= kDifferencesTab; ++tab) {
        tabs_->setTabText(tab, translated(names[tab]));
    }
    readButton_->setText(translated(N_("&Načíst čip a porovnat")));
    // The rows' headers name the sides when both show.
    if (model_.rowCount() > 0) {
        emit model_.headerDataChanged(Qt::Vertical, 0, model_.rowCount() - 1);
    }
    updateTexts();
}

void DataWindow::setChip(Bytes bytes, const QString& memory, const QString& device, bool avrFlash) {
    chip_ = std::move(bytes);
    memory_ = memory;
    chipDevice_ = device;
    chipAvrFlash_ = avrFlash;
    compare();
}

void DataWindow::setFile(const QString& name, Bytes bytes, const QString& device, bool avrFlash) {
    file_ = std::move(bytes);
    fileName_ = name;
    fileDevice_ = device;
    fileRefusal_.clear();
    fileAvrFlash_ = avrFlash;
    compare();
}

void DataWindow::setFileRefused(const QString& name, const QString& why, const QString& device) {
    file_.clear();
    fileName_ = name;
    fileDevice_ = device;
    fileRefusal_ = why.trimmed();
    fileAvrFlash_ = false;
    compare();
}

bool DataWindow::otherDevice() const {
    return !memory_.isEmpty() && chipDevice_ != fileDevice_;
}

void DataWindow::setReadEnabled(bool on) {
    readButton_->setEnabled(on);
}

void DataWindow::compare() {
    const auto current = currentOffset();
    // Another device's bytes hold other things at the same addresses: nothing to compare.
    differences_ = otherDevice() ? Differences() : Differences(chip_, file_);
    model_.show(model_.side());
    updateTexts();
    if (current && *current < model_.size()) {
        table_->setCurrentIndex(model_.indexOf(*current));
    }
}

void DataWindow::showSide(int tab) {
    const HexModel::Side sides[] = {HexModel::Side::Chip, HexModel::Side::File,
                                    HexModel::Side::Both};
    model_.show(sides[tab]);
    updateTexts();
}

void DataWindow::updateTexts() {
    // "FLASH 90S2313", and the device selected when the bytes are another's.
    const QString chipData = (memory_ + QLatin1Char(' ') + chipDevice_).trimmed();
    const QString selected = fileDevice_.isEmpty() ? translated(N_("žádný")) : fileDevice_;
    QString caption;
    switch (model_.side()) {
        case HexModel::Side::Chip:
            caption = memory_.isEmpty() ? translated(N_("Čip: nic nenačteno"))
                      : otherDevice()   ? filled(N_("Čip: {0}, zvolen je {1}"), chipData, selected)
                                        : filled(N_("Čip: {}"), chipData);
            break;
        case HexModel::Side::File:
            caption = filled(N_("Soubor: {}"), fileName_);
            break;
        case HexModel::Side::Both:
            caption = otherDevice()
                          ? filled(N_("Rozdíly: data čipu jsou z {0}, zvolen je {1}; načtěte čip "
                                      "znovu"),
                                   chipDevice_, selected)
                          : filled(N_("Rozdíly: {}"), differingBytes(differences_.count()));
            break;
    }
    caption_->setText(caption);
    table_->setAccessibleName(caption);

    const QString chipSide =
        memory_.isEmpty() ? translated(N_("Čip: nic nenačteno"))
                          : filled(N_("Čip ({0}): {1}"), chipData, fromUtf8(checksumText(chip_)));
    QString fileSide;
    if (fileName_.isEmpty()) {
        fileSide = translated(N_("Soubor: nezvolen"));
    } else {
        fileSide = filled(N_("Soubor: {}"),
                          !fileRefusal_.isEmpty() ? fileRefusal_ : fromUtf8(checksumText(file_)));
    }
    QString footer = chipSide + QLatin1Char('\n') + fileSide;
    // The program's own files hold an AVR word the other way round; the view is as the
    // tools show it.
    if ((!memory_.isEmpty() && chipAvrFlash_) || (!fileName_.isEmpty() && fileAvrFlash_)) {
        footer += QLatin1Char('\n') +
                  translated(N_("FLASH AVR: nižší bajt slova první, adresy po bajtech (jako "
                                "nástroje AVR)"));
    }
    // The label's name is its text, so a screen reader reads the values too.
    footer_->setText(footer);
}

std::optional<std::size_t> DataWindow::currentOffset() const {
    return model_.offsetAt(table_->currentIndex());
}

void DataWindow::goTo(std::size_t offset) {
    const QModelIndex index = model_.indexOf(offset);
    table_->setCurrentIndex(index);
    table_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    table_->setFocus();
}

void DataWindow::showDifferences(std::optional<std::size_t> at) {
    tabs_->setCurrentIndex(kDifferencesTab);
    if (!at || *at >= model_.size()) {
        at = differences_.first();
    }
    if (at) {
        goTo(*at);
    }
}

void DataWindow::goToAddress() {
    const QString preset = fromUtf8(addressText(currentOffset().value_or(0), model_.size()));
    const auto answer = dialogs_.line(this, translated(N_("Adresa (hex):")), preset);
    if (!answer) {
        return;
    }
    QString digits = answer->trimmed();
    if (digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)) {
        digits = digits.mid(2);
    }
    bool ok = false;
    const qulonglong offset = digits.toULongLong(&ok, 16);
    if (!ok || offset >= model_.size()) {
        const QString last =
            fromUtf8(addressText(std::max<std::size_t>(model_.size(), 1) - 1, model_.size()));
        dialogs_.info(this,
                      filled(N_("Adresa „{0}“ není v zobrazených datech (0 až {1})."),
                             answer->trimmed(), last),
                      QString());
        return;
    }
    goTo(static_cast<std::size_t>(offset));
}

void DataWindow::nextDifference(bool forward) {
    const auto from = currentOffset();
    std::optional<std::size_t> to;
    if (!from) {
        to = forward ? differences_.first() : differences_.previous(model_.size());
    } else {
        to = forward ? differences_.next(*from) : differences_.previous(*from);
    }
    if (!to) {
        QApplication::beep();
        return;
    }
    goTo(*to);
}

void DataWindow::copySelection() {
    const QString text = model_.hexText(table_->selectionModel()->selectedIndexes());
    if (!text.isEmpty()) {
        QApplication::clipboard()->setText(text);
    }
}

void DataWindow::closeEvent(QCloseEvent* event) {
    emit closed(size());
    QWidget::closeEvent(event);
}

}  // namespace trilo::gui
