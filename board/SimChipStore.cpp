#include "board/SimChipStore.h"

#include <sys/stat.h>

#include <cerrno>

#include "base/SystemReason.h"
#include "base/Text.h"
#include "files/ByteFile.h"
#include "files/FileMove.h"
#include "files/IoErrors.h"
#include "sim/SimChipFile.h"
#include "sim/SimulatedBoard.h"

namespace trilo {

namespace {

// Far above the text of the largest chip.
constexpr std::int64_t kLargestChipText = 1 << 20;

// The file's name, as every message about it begins.
std::string named(const std::string& path) {
    return format(_("Soubor simulovaného čipu „{}“"), path);
}

std::string reasonOf(const IoError& error) {
    if (const auto* other = dynamic_cast<const NotRegularFile*>(&error)) {
        return other->directory() ? _("je to adresář") : _("není obyčejný soubor");
    }
    return error.systemError() != 0 ? systemReason(error.systemError()) : error.what();
}

std::string readText(const std::string& path) {
    ByteFile file;
    file.openRead(path);
    const std::int64_t size = file.size();
    if (size > kLargestChipText) {
        throw ChipTextError(0, _("je větší než 1 MiB"));
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    for (char& c : text) {
        c = static_cast<char>(file.readByte());
    }
    file.close();
    return text;
}

}  // namespace

SimChipStore::SimChipStore(std::unique_ptr<SimulatedBoard> board, std::string path)
    : board_(std::move(board)), path_(std::move(path)) {
    // Only nothing at all in its place is a new chip: a directory, a device or a link that
    // leads nowhere is refused below.
    struct stat st {};
    if (::lstat(path_.c_str(), &st) != 0 && errno == ENOENT) {
        return;
    }
    try {
        const std::string text = readText(path_);
        const DeviceInfo& device = chipTextDevice(text);
        SimChip& chip = board_->chip(device.id);
        restoreChip(chip, text);
        device_ = &device;
        written_ = chipText(chip);
    } catch (const IoError& error) {
        problem_ = format(_("{0} nelze přečíst: {1}"), named(path_), reasonOf(error));
    } catch (const ChipTextError& error) {
        problem_ = format(_("{0} nelze použít, {1}; opravte ho nebo zadejte jiný (klíč SimChip v "
                            "programmer.ini, --sim-chip)"),
                          named(path_), error.what());
    }
}

SimChipStore::~SimChipStore() = default;

void SimChipStore::out(std::uint16_t port, std::uint8_t value) {
    board_->out(port, value);
}

std::uint8_t SimChipStore::in(std::uint16_t port) {
    return board_->in(port);
}

std::optional<std::string> SimChipStore::refusal() const {
    if (!problem_.empty()) {
        return problem_;
    }
    const SimChip* socket = board_->socket();
    if (socket != nullptr && device_ != nullptr && &socket->device() != device_) {
        return format(_("{0} je čip {1}, v patici je {2}; zvolte {1} nebo jiný soubor"),
                      named(path_), device_->name, socket->device().name);
    }
    return std::nullopt;
}

PortStatus SimChipStore::status(std::uint16_t base) const {
    if (auto refused = refusal()) {
        return {false, *refused, true};
    }
    return board_->status(base);
}

void SimChipStore::keep() {
    const SimChip* socket = board_->socket();
    if (socket == nullptr || refusal()) {
        return;
    }
    std::string text = chipText(*socket);
    if (text == written_) {
        return;
    }
    try {
        writeWholeFile(path_, text);
    } catch (const IoError& error) {
        throw TriloError(format(_("{0} nelze zapsat: {1}"), named(path_), reasonOf(error)));
    }
    written_ = std::move(text);
    device_ = &socket->device();
}

}  // namespace trilo
