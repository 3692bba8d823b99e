#include "commands/CommandTable.h"

#include <stdexcept>

#include "base/Text.h"

namespace trilo {

namespace {

using commands::Destination;
using commands::Outcome;

// A reading's outcome: nothing when the user declined the chip in the socket.
template <typename T>
Outcome ran(const std::optional<T>& reading) {
    return reading ? Outcome::Done : Outcome::Declined;
}

Outcome readFlash(CommandCall& k) {
    return commands::Read(k.c, k.params);
}

Outcome writeFlash(CommandCall& k) {
    return commands::Write(k.c, k.params, k.file, k.params.FlashSize, k.autoErase);
}

Outcome erase(CommandCall& k) {
    return commands::Erase(k.c, k.params);
}

Outcome eraseBeforeWrites(CommandCall& k) {
    return commands::EraseBeforeWrites(k.c, k.params);
}

Outcome verify(CommandCall& k) {
    return commands::Verify(k.c, k.params, k.file, k.params.FlashSize);
}

Outcome readEeprom(CommandCall& k) {
    return commands::ReadEeprom(k.c, k.params);
}

Outcome writeEeprom(CommandCall& k) {
    return commands::WriteEeprom(k.c, k.params, k.file, k.params.EepromSize);
}

Outcome verifyEeprom(CommandCall& k) {
    return commands::VerifyEeprom(k.c, k.params, k.file, k.params.EepromSize);
}

Outcome readLockBits(CommandCall& k) {
    return ran(k.result.lockLevel = commands::ReadLockBits(k.c, k.params));
}

Outcome writeLock(CommandCall& k) {
    return commands::WriteLock(k.c, k.params, k.args.lockLevel);
}

Outcome readFuses(CommandCall& k) {
    return ran(k.result.fuses = commands::ReadFuses(k.c, k.params));
}

Outcome writeFuses(CommandCall& k) {
    return commands::WriteFuses(k.c, k.params, k.args.fuses);
}

Outcome readSerialFuse(CommandCall& k) {
    return ran(k.result.serialFuse = commands::ReadSerialFuse(k.c, k.params));
}

Outcome writeSerialFuse(CommandCall& k) {
    const bool off = k.args.serialFuseOff;
    const auto on = k.result.serialFuse = commands::WriteSerialFuse(k.c, k.params, off);
    // The write reads the fuse back: one that did not take is a failed write.
    return on && *on == off ? Outcome::WriteFailed : ran(on);
}

Outcome signature(CommandCall& k) {
    commands::ShowSignature(k.c, *k.params.device);
    return Outcome::Done;
}

constexpr bool Offers::*kEeprom = &Offers::eeprom;
constexpr bool Offers::*kFuses = &Offers::fuses;
constexpr bool Offers::*kReadLock = &Offers::readLock;
constexpr bool Offers::*kSerialFuse = &Offers::serialFuse;
constexpr const char* kNoEeprom = N_("{} nemá EEPROM");
constexpr const char* kNoFuses = N_("{} nemá fuse bity");
constexpr const char* kNoSerialFuse = N_("{} nemá pojistku sériového programování");
constexpr const char* kNoLockRead = N_("u {} nelze lock bity číst");

using L = Leaves;
using B = CheckedBy;
using K = Checked;
using A = Argument;
using D = Destination;

// In the order of the help.
constexpr CommandRow kRows[] = {
    {.id = Command::Erase,
     .name = N_("Mazání"),
     .checkedBy = B::BlankCheck,
     .checked = K::WhenChecking,
     .beforeLock = true,
     .run = erase,
     .doneChecked = N_("čip je prázdný"),
     .doneUnchecked = N_("hotovo, bez kontroly prázdnoty"),
     .option = "erase",
     .letter = 'e',
     .label = N_("Mazání"),
     .help = N_("smaže čip a ověří, že je FLASH prázdná; u AVR\nsmaže i EEPROM")},
    {.id = Command::WriteFlash,
     .name = N_("Zápis FLASH"),
     .input = D::Flash,
     .checkedBy = B::ReadBack,
     .checked = K::WhenChecking,
     .writes = true,
     .inJob = true,
     .beforeLock = true,
     .run = writeFlash,
     .option = "write",
     .letter = 'w',
     .argument = A::File,
     .label = N_("Zápis"),
     .help = N_("zapíše SOUBOR do FLASH a každé slovo (bajt) hned\npřečte zpět; čip se předtím "
                "smaže, jednou za běh\npřed jeho prvním zápisem (u AVR i EEPROM)")},
    {.id = Command::Verify,
     .name = N_("Verifikace"),
     .input = D::Verify,
     .checked = K::Always,
     .beforeLock = true,
     .run = verify,
     .option = "verify",
     .letter = 'm',
     .argument = A::File,
     .label = N_("Verifikace"),
     .help = N_("porovná FLASH se SOUBOREM")},
    {.id = Command::ReadFlash,
     .name = N_("Čtení FLASH"),
     .leaves = L::FlashBuffer,
     .beforeLock = true,
     .run = readFlash,
     .option = "read",
     .letter = 'r',
     .argument = A::File,
     .label = N_("Čtení"),
     .help = N_("přečte FLASH do SOUBORU")},
    {.id = Command::ReadEeprom,
     .name = N_("Čtení EEPROM"),
     .needs = kEeprom,
     .lacks = kNoEeprom,
     .leaves = L::EepromBuffer,
     .beforeLock = true,
     .run = readEeprom,
     .option = "read-eeprom",
     .argument = A::File,
     .label = N_("Čtení EEPROM"),
     .help = N_("přečte EEPROM do SOUBORU (AVR)")},
    {.id = Command::WriteEeprom,
     .name = N_("Zápis EEPROM"),
     .needs = kEeprom,
     .lacks = kNoEeprom,
     .input = D::Eeprom,
     .checkedBy = B::ReadBack,
     .checked = K::WhenChecking,
     .writes = true,
     .inJob = true,
     .beforeLock = true,
     .run = writeEeprom,
     .option = "write-eeprom",
     .argument = A::File,
     .label = N_("Zápis EEPROM"),
     .help = N_("zapíše SOUBOR do EEPROM (AVR)")},
    {.id = Command::VerifyEeprom,
     .name = N_("Verifikace EEPROM"),
     .needs = kEeprom,
     .lacks = kNoEeprom,
     .input = D::VerifyEeprom,
     .checked = K::Always,
     .beforeLock = true,
     .run = verifyEeprom,
     .option = "verify-eeprom",
     .argument = A::File,
     .label = N_("Verifikace EEPROM"),
     .help = N_("porovná EEPROM se SOUBOREM (AVR)")},
    {.id = Command::ReadLockBits,
     .name = N_("Čtení lock bitů"),
     .needs = kReadLock,
     .lacks = kNoLockRead,
     .leaves = L::LockLevel,
     .run = readLockBits,
     .option = "read-lock",
     .help = N_("vypíše úroveň lock bitů (AVR, 89S)")},
    {.id = Command::ReadFuses,
     .name = N_("Čtení fuse bitů"),
     .needs = kFuses,
     .lacks = kNoFuses,
     .leaves = L::FuseByte,
     .run = readFuses,
     .option = "read-fuses",
     .help = N_("vypíše naprogramované fuse bity (AVR)")},
    {.id = Command::WriteFuses,
     .name = N_("Zápis fuse bitů"),
     .needs = kFuses,
     .lacks = kNoFuses,
     .checkedBy = B::ReadBack,
     .checked = K::WhenChecking,
     .writes = true,
     .inJob = true,
     .beforeLock = true,
     .run = writeFuses,
     .option = "write-fuses",
     .argument = A::FuseNames,
     .help = N_("naprogramuje jmenované fuse bity a ostatní ne,\nnapř. --write-fuses=SPIEN,FSTRT "
                "(AVR)")},
    {.id = Command::ReadSerialFuse,
     .name = N_("Čtení Serial Prog. Fuse"),
     .needs = kSerialFuse,
     .lacks = kNoSerialFuse,
     .leaves = L::SerialFuse,
     .run = readSerialFuse,
     .option = "read-serial-fuse",
     .help = N_("vypíše pojistku sériového programování (89S)")},
    {.id = Command::WriteSerialFuse,
     .name = N_("Zápis Serial Prog. Fuse"),
     .needs = kSerialFuse,
     .lacks = kNoSerialFuse,
     .leaves = L::SerialFuse,
     .writes = true,
     .inJob = true,
     .beforeLock = true,
     .run = writeSerialFuse,
     .failure = N_("pojistka se nezapsala, čip ji ukazuje jinak"),
     .option = "write-serial-fuse",
     .argument = A::OnOff,
     .help = N_("zapíše pojistku sériového programování (89S)")},
    {.id = Command::Signature,
     .name = N_("Podpis čipu"),
     .leaves = L::Signature,
     .run = signature,
     .option = "signature",
     .letter = 's',
     .help = N_("vypíše podpis čipu v patici")},
    {.id = Command::Checksum,
     .name = N_("Kontrolní součet"),
     .leaves = L::Checksum,
     .beforeLock = true,
     .run = readFlash,
     .option = "checksum",
     .argument = A::OptionalFile,
     .label = N_("Čtení"),
     .help = N_("vypíše velikost, CRC-32 a 16bitový součet FLASH\n(přečte ji), nebo SOUBORU tak, "
                "jak ho bere zápis\n(AVR: bajty v pořadí překladače, nižší první);\nse samými "
                "soubory se port neotevře")},
    {.id = Command::AutoErase,
     .name = N_("Mazání před zápisem"),
     .writes = true,
     .beforeLock = true,
     .run = eraseBeforeWrites,
     .label = N_("Mazání")},
    {.id = Command::WriteLock,
     .name = N_("Zápis lock bitů"),
     .checkedBy = B::ReadBack,
     .checked = K::WhenChecking,
     .writes = true,
     .run = writeLock,
     .label = N_("Lock bity")},
};

}  // namespace

std::span<const CommandRow> commandTable() {
    return kRows;
}

const CommandRow& commandRow(Command id) {
    for (const CommandRow& row : kRows) {
        if (row.id == id) {
            return row;
        }
    }
    throw std::out_of_range("no command row");
}

bool offered(const CommandRow& row, const DeviceInfo& device) {
    return row.needs == nullptr || offers(device).*row.needs;
}

std::string readingText(const CommandResult& r, const DeviceInfo& device) {
    if (r.lockLevel) {
        return "Lock Bit: " + std::to_string(*r.lockLevel);
    }
    if (r.fuses) {
        const std::string names = programmedFuseNames(device, *r.fuses);
        return "AVR Fuse Bits: " + (names.empty() ? "-" : names);
    }
    if (r.serialFuse) {
        return std::string("Serial Prog. Fuse: ") + (*r.serialFuse ? "ON" : "OFF");
    }
    return {};
}

bool countsChecked(const CommandRow& row, bool readBack, bool blankCheck) {
    switch (row.checked) {
        case Checked::Always:
            return true;
        case Checked::WhenChecking:
            return row.checkedBy == CheckedBy::ReadBack
                       ? readBack
                       : row.checkedBy == CheckedBy::BlankCheck && blankCheck;
        case Checked::Never:
            break;
    }
    return false;
}

}  // namespace trilo
