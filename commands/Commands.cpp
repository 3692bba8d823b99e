#include "commands/Commands.h"

#include <algorithm>
#include <cstdio>

#include "base/Hex.h"
#include "commands/Differences.h"
#include "files/FileMove.h"

namespace trilo::commands {

namespace {

// A file larger than the chip's memory: released, closed and refused with its message.
bool fits(OpContext& c, std::int64_t sizeLimit, const char* refusal) {
    if (c.in().size() <= sizeLimit) {
        return true;
    }
    c.link.ReleaseTarget();
    c.in().close();
    c.sink.info(_(refusal));
    return false;
}

}  // namespace

void runOnBoard(OpContext& c, const std::function<void()>& commands) {
    const PortStatus before = c.link.portStatus();
    if (!before.usable) {
        throw PortUnusable(before.text);
    }
    runReleasing(c, commands);
    const PortStatus after = c.link.portStatus();
    if (!after.usable) {
        throw PortUnusable(after.text);
    }
}

namespace {

const FamilyOps& ops(const OpParams& params) {
    return familyOps(params.device->family);
}

std::string hexAddress(std::int64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

std::string hexByte(std::uint8_t b) {
    return hexBytes(std::span(&b, 1));
}

}  // namespace

Outcome Read(OpContext& c, const OpParams& params) {
    c.bytes = 0;
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    c.bytes = params.FlashSize;
    ops(params).ReadFlash(c, params);
    return Outcome::Done;
}

BufferContent ReadContent(const DeviceInfo& device) {
    return familyOps(device.family).wordFlash ? BufferContent::AvrFlash : BufferContent::Mcs51Flash;
}

Outcome Erase(OpContext& c, const OpParams& params) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(params).EraseChip(c, params);
    if (params.AutoVerify && !ops(params).BlankCheck(c, params)) {
        return Outcome::NotBlank;
    }
    c.link.ReleaseTarget();
    c.sink.progress(0);
    c.sink.info(_(kErased));
    return Outcome::Done;
}

namespace {

// The data file opened, or the outcome that ends the command without touching the chip.
std::optional<Outcome> refusedInput(OpContext& c, const InputFile& file, BufferContent memory) {
    c.difference.reset();
    c.bytes = 0;
    if (!fileExists(file.path)) {
        c.sink.info(_(kNoInputFile));
        return Outcome::NoInputFile;
    }
    if (!openInput(c, file, memory)) {
        return Outcome::BadFile;
    }
    return std::nullopt;
}

// An empty file gives a verify nothing to compare: refused, not "Verifikace - OK".
bool comparable(OpContext& c) {
    if (c.in().size() > 0) {
        return true;
    }
    c.in().close();
    c.sink.info(_(kEmptyFile));
    return false;
}

// The lock level the chip shows, read in a cycle of its own and released.
int readLockLevel(OpContext& c, const OpParams& params) {
    const int level = ops(params).ReadLockBits(c);
    c.link.ReleaseTarget();
    return level;
}

// The level a flash write programs last: the highest checked box the device has. A family
// that cannot read its lock bits back (the 20-pin and 40-pin 89C parts) is not checked.
int lockLevelWritten(const OpParams& params) {
    if (ops(params).ReadLockBits == nullptr) {
        return 0;
    }
    for (int level = params.device->lockLevels; level > 0; --level) {
        if (params.locks[static_cast<std::size_t>(level - 1)]) {
            return level;
        }
    }
    return 0;
}

// After a write that programmed lock bits: the chip must show that level.
bool lockHeld(OpContext& c, const OpParams& params) {
    const int written = lockLevelWritten(params);
    if (written == 0) {
        return true;
    }
    const int read = readLockLevel(c, params);
    if (read == written) {
        return true;
    }
    c.sink.info(format(_("Lock bity: zapsána úroveň {0}, přečtena úroveň {1}"),
                       std::to_string(written), std::to_string(read)));
    return false;
}

}  // namespace

Outcome Write(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
              std::int64_t sizeLimit, bool AutoErase) {
    if (auto refused = refusedInput(c, CurrentFile, ReadContent(*params.device))) {
        return *refused;
    }
    if (!fits(c, sizeLimit, kFlashTooSmall)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    c.bytes = c.in().size();
    if (AutoErase) {
        ops(params).EraseChip(c, params);
    }
    const bool empty = c.in().size() == 0;
    const Comparison written = ops(params).WriteFlash(c, params);
    c.in().close();
    c.difference = written.difference;
    if (!written.same()) {
        return Outcome::WriteFailed;
    }
    if (empty) {
        const bool locks =
            std::find(params.locks.begin(), params.locks.end(), true) != params.locks.end();
        c.sink.status(_(locks ? kEmptyWriteLocks : kEmptyWrite));
    }
    if (params.AutoVerify && !lockHeld(c, params)) {
        return Outcome::WriteFailed;
    }
    return Outcome::Done;
}

Outcome WriteLock(OpContext& c, const OpParams& params, int level) {
    if (ops(params).LockChip == nullptr || level < 1 || level > params.device->lockLevels) {
        return Outcome::NotOffered;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(params).LockChip(c, static_cast<std::uint8_t>(level));
    OpParams locked = params;
    locked.locks = {};
    locked.locks[static_cast<std::size_t>(level - 1)] = true;
    return !params.AutoVerify || lockHeld(c, locked) ? Outcome::Done : Outcome::WriteFailed;
}

Outcome EraseBeforeWrites(OpContext& c, const OpParams& params) {
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(params).EraseChip(c, params);
    return Outcome::Done;
}

Outcome CheckInput(OpContext& c, const OpParams& params, const InputFile& file,
                   Destination destination, std::int64_t sizeLimit) {
    const bool eeprom = forEeprom(destination);
    if (auto refused = refusedInput(
            c, file, eeprom ? BufferContent::AvrEeprom : ReadContent(*params.device))) {
        return *refused;
    }
    const bool verify =
        destination == Destination::Verify || destination == Destination::VerifyEeprom;
    if (verify && !comparable(c)) {
        return Outcome::EmptyFile;
    }
    const bool fitting = fits(c, sizeLimit, eeprom ? kEepromTooSmall : kFlashTooSmall);
    c.in().close();
    c.input = nullptr;
    c.image.reset();
    return fitting ? Outcome::Done : Outcome::FileTooLarge;
}

namespace {

using Bytes = std::vector<std::uint8_t>;

class QuietSink final : public OperationSink {
public:
    void progress(int) override {}
    void info(const std::string&) override {}
    bool ask(const std::string&) override { return false; }
};

Bytes readAll(ByteSource& in) {
    Bytes bytes(static_cast<std::size_t>(in.size()));
    for (std::uint8_t& b : bytes) {
        b = in.readByte();
    }
    in.close();
    return bytes;
}

// What all the differences show, once the failed operation has released the board: the file
// once more, and the memory read with the Read's own sequence in a cycle of its own, so the
// failing operation's accesses stay as they were; the gauge stays where the failure left it.
// Nothing when that cannot be done (a stop meanwhile, a file that changed since).
using ReadBytes = std::function<Bytes(OpContext&, std::int64_t)>;
std::string explainAfter(OpContext& c, const InputFile& file, BufferContent memory,
                         const ReadBytes& read) {
    QuietSink quiet;
    OpContext again(c.link, c.DataFile, c.BufferFile, quiet);
    again.stop = c.stop;
    try {
        if (!openInput(again, file, memory)) {
            return {};
        }
        const Bytes inFile = readAll(again.in());
        return ExplainDifferences(inFile, read(again, static_cast<std::int64_t>(inFile.size())));
    } catch (const Stopped&) {
    } catch (const TriloError&) {
    }
    c.DataFile.closeQuietly();
    c.link.ReleaseTarget();
    return {};
}

// The command's explanation for the operation's failure, for as long as the command runs.
class Explaining {
public:
    Explaining(OpContext& c, std::function<std::string()> explain) : c_(c) {
        c_.explainFailure = std::move(explain);
    }
    ~Explaining() { c_.explainFailure = nullptr; }
    Explaining(const Explaining&) = delete;
    Explaining& operator=(const Explaining&) = delete;

private:
    OpContext& c_;
};

// What a verify needs before it touches the chip: a readable, non-empty file that fits, and a
// chip the user accepted; nothing when it may go on, with the file's size counted.
std::optional<Outcome> refusedComparison(OpContext& c, const InputFile& file, BufferContent content,
                                         std::int64_t sizeLimit, const char* tooLarge) {
    if (auto refused = refusedInput(c, file, content)) {
        return refused;
    }
    if (!comparable(c)) {
        return Outcome::EmptyFile;
    }
    if (!fits(c, sizeLimit, tooLarge)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    c.bytes = c.in().size();
    return std::nullopt;
}

// The verify by reading: the chip read with the Read's sequence up to the file's length and
// compared in the program, in the order of the family's verify (an AVR word low byte first,
// an odd file's last word with the 0xFF it is written with), so that the first difference
// and the messages are the verify's.
Comparison verifyByReading(OpContext& c, const OpParams& params) {
    const Bytes inFile = readAll(c.in());
    const auto n = static_cast<std::int64_t>(inFile.size());
    const Bytes inChip = ops(params).ReadFlashBytes(c, params, n);
    const bool words = ops(params).wordFlash;
    std::optional<Difference> differs;
    std::int64_t number = 0;
    const auto compare = [&](std::int64_t at) {
        const std::uint8_t f = at < n ? inFile[static_cast<std::size_t>(at)] : 0xFF;
        const std::uint8_t got = inChip[static_cast<std::size_t>(at)];
        if (!differs && got != f) {
            differs = differenceAt(c, at, f, got);
            number = words ? 0 : at + 1;
        }
    };
    for (std::int64_t i = 0; i < static_cast<std::int64_t>(inChip.size()) && !differs;
         i += words ? 2 : 1) {
        if (words) {
            compare(i + 1);
        }
        compare(i);
    }
    const Explaining explaining(c, [&] { return ExplainDifferences(inFile, inChip); });
    verifyEnded(c, differs, number);
    return {differs};
}

}  // namespace

Outcome Verify(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
               std::int64_t sizeLimit) {
    // The MCS-51 address counter wraps: the bytes beyond the flash would be compared with its
    // start again, and a file of many copies of the chip's content would say "OK".
    if (auto refused = refusedComparison(c, CurrentFile, ReadContent(*params.device), sizeLimit,
                                         kFlashTooSmall)) {
        return *refused;
    }
    if (params.VerifyByRead) {
        const Comparison same = verifyByReading(c, params);
        c.difference = same.difference;
        return same.same() ? Outcome::Done : Outcome::VerifyFailed;
    }
    const Explaining explaining(c, [&] {
        return explainAfter(c, CurrentFile, ReadContent(*params.device),
                            [&](OpContext& again, std::int64_t n) {
                                return ops(params).ReadFlashBytes(again, params, n);
                            });
    });
    const Comparison same = ops(params).VerifyFlash(c, params);
    c.difference = same.difference;
    return same.same() ? Outcome::Done : Outcome::VerifyFailed;
}

namespace {

std::string explainEeprom(OpContext& c, const OpParams& params, const InputFile& file) {
    return explainAfter(c, file, BufferContent::AvrEeprom, ops(params).ReadEepromBytes);
}

}  // namespace

Outcome ReadEeprom(OpContext& c, const OpParams& params) {
    c.bytes = 0;
    if (ops(params).ReadEeprom == nullptr) {
        return Outcome::NotOffered;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    c.bytes = params.EepromSize;
    ops(params).ReadEeprom(c, params);
    return Outcome::Done;
}

Outcome WriteEeprom(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
                    std::int64_t sizeLimit) {
    if (ops(params).WriteEeprom == nullptr) {
        return Outcome::NotOffered;
    }
    if (auto refused = refusedInput(c, CurrentFile, BufferContent::AvrEeprom)) {
        return *refused;
    }
    if (!fits(c, sizeLimit, kEepromTooSmall)) {
        return Outcome::FileTooLarge;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    c.bytes = c.in().size();
    ops(params).WriteEeprom(c);
    if (!params.AutoVerify) {
        return Outcome::Done;
    }
    // The file once more, against what the chip now holds.
    openInput(c, CurrentFile, BufferContent::AvrEeprom);
    const Comparison held = ops(params).CompareEeprom(c);
    c.difference = held.difference;
    if (held.same()) {
        return Outcome::Done;
    }
    const std::string text = format(
        _("EEPROM: na adrese {0} zapsáno {1}, přečteno {2}"), hexAddress(held.difference->address),
        hexByte(held.difference->inFile), hexByte(held.difference->inChip));
    const std::string explanation = explainEeprom(c, params, CurrentFile);
    if (explanation.empty()) {
        c.sink.info(text);
    } else {
        c.sink.detailedInfo(text, explanation);
    }
    return Outcome::WriteFailed;
}

Outcome VerifyEeprom(OpContext& c, const OpParams& params, const InputFile& CurrentFile,
                     std::int64_t sizeLimit) {
    if (ops(params).CompareEeprom == nullptr) {
        return Outcome::NotOffered;
    }
    if (auto refused = refusedComparison(c, CurrentFile, BufferContent::AvrEeprom, sizeLimit,
                                         kEepromTooSmall)) {
        return *refused;
    }
    const Comparison same = ops(params).CompareEeprom(c);
    c.difference = same.difference;
    if (!same.same()) {
        c.sink.detailedInfo(_("Při verifikaci EEPROM byla nalezena chyba! "),
                            failureDetail(*same.difference, explainEeprom(c, params, CurrentFile)));
        return Outcome::VerifyFailed;
    }
    c.sink.info(_(kVerifyOk));
    return Outcome::Done;
}

std::optional<int> ReadLockBits(OpContext& c, const OpParams& params) {
    if (ops(params).ReadLockBits == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    return readLockLevel(c, params);
}

std::optional<std::uint8_t> ReadFuses(OpContext& c, const OpParams& params) {
    if (ops(params).ReadFuses == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    return ops(params).ReadFuses(c, params);
}

Outcome WriteFuses(OpContext& c, const OpParams& params, std::uint8_t fuses) {
    if (ops(params).WriteFuses == nullptr) {
        return Outcome::NotOffered;
    }
    if (!ChipAccepted(c)) {
        return Outcome::Declined;
    }
    ops(params).WriteFuses(c, fuses);
    if (!params.AutoVerify) {
        return Outcome::Done;
    }
    // Only the device's own fuse bits: the reading's other bits are lock bits or unused.
    const std::uint8_t mask = params.device->fuseMask();
    const std::uint8_t read = ops(params).ReadFuses(c, params);
    if (((read ^ fuses) & mask) == 0) {
        return Outcome::Done;
    }
    c.sink.info(format(_("Fuse bity: zapsáno {0}, přečteno {1}"),
                       hexByte(static_cast<std::uint8_t>(fuses | ~mask)),
                       hexByte(static_cast<std::uint8_t>(read | ~mask))));
    return Outcome::WriteFailed;
}

std::optional<bool> ReadSerialFuse(OpContext& c, const OpParams& params) {
    if (ops(params).ReadSerialFuse == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    const bool on = ops(params).ReadSerialFuse(c);
    c.link.ReleaseTarget();
    return on;
}

std::optional<bool> WriteSerialFuse(OpContext& c, const OpParams& params, bool off) {
    if (ops(params).WriteSerialFuse == nullptr || !ChipAccepted(c)) {
        return std::nullopt;
    }
    return ops(params).WriteSerialFuse(c, off);
}

ChipIdentity ChipReport::identity() const {
    return ChipIdentity{
        .name = found != nullptr ? found->name : nullptr, .silent = silent, .bytes = bytes};
}

std::string ChipReport::summary() const {
    return identity().summary();
}

ChipReport IdentifyChip(OpContext& c, const DeviceInfo& selected) {
    ChipReport report;
    report.bytes = familyOps(selected.family).ReadSignature(c, OpParams{.device = &selected});
    report.found = deviceWithSignature(report.bytes, selected);
    report.matches = report.found == &selected;
    const auto all = [&](std::uint8_t value) {
        return std::all_of(report.bytes.begin(), report.bytes.end(),
                           [value](std::uint8_t b) { return b == value; });
    };
    report.silent = all(0xFF) || all(0x00);
    c.sink.identified(report.identity());
    return report;
}

ChipReport ShowSignature(OpContext& c, const DeviceInfo& selected) {
    ChipReport report = IdentifyChip(c, selected);
    c.sink.info(format(_("Čip v patici: {}"), report.summary()));
    return report;
}

namespace {

bool chipConfirmed(OpContext& c) {
    const ChipReport report = IdentifyChip(c, *c.expected);
    if (report.matches) {
        return true;
    }
    const std::string bytes = hexBytes(report.bytes);
    if (report.silent) {
        return c.sink.ask(
            format(_("V patici není čip, nebo neodpovídá (podpis {}). Pokračovat ?"), bytes));
    }
    if (report.found != nullptr) {
        return c.sink.ask(
            format(_("V patici je jiný čip: podpis {0} ({1}), zvolen je {2}. Pokračovat ?"), bytes,
                   report.found->name, c.expected->name));
    }
    return c.sink.ask(format(_("V patici je jiný čip: podpis {0}, zvolen je {1}. Pokračovat ?"),
                             bytes, c.expected->name));
}

}  // namespace

bool ChipAccepted(OpContext& c) {
    if (c.expected == nullptr || chipConfirmed(c)) {
        return true;
    }
    // The command ends here: a data file it opened goes too.
    c.in().close();
    return false;
}

}  // namespace trilo::commands
