#include "commands/CommandTable.h"

#include <stdexcept>

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
constexpr const char* kNoEeprom = "{} nemá EEPROM";
constexpr const char* kNoFuses = "{} nemá fuse bity";
constexpr const char* kNoSerialFuse = "{} nemá pojistku sériového programování";
constexpr const char* kNoLockRead = "u {} nelze lock bity číst";

using L = Leaves;
using B = CheckedBy;
using K = Checked;
using A = Argument;
using D = Destination;

// In the order of the help.
constexpr CommandRow kRows[] = {
    {.id = Command::Erase,
     .name = "Mazání",
     .checkedBy = B::BlankCheck,
     .checked = K::WhenChecking,
     .beforeLock = true,
     .run = erase,
     .doneChecked = "čip je prázdný",
     .doneUnchecked = "hotovo, bez kontroly prázdnoty",
     .option = "erase",
     .letter = 'e',
     .label = "Mazání",
     .help = "smaže čip a ověří, že je FLASH prázdná; u AVR\nsmaže i EEPROM"},
    {.id = Command::WriteFlash,
     .name = "Zápis FLASH",
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
     .label = "Zápis",
     .help = "zapíše SOUBOR do FLASH a každé slovo (bajt) hned\npřečte zpět; čip se předtím "
             "smaže, jednou za běh\npřed jeho prvním zápisem (u AVR i EEPROM)"},
    {.id = Command::Verify,
     .name = "Verifikace",
     .input = D::Verify,
     .checked = K::Always,
     .beforeLock = true,
     .run = verify,
     .option = "verify",
     .letter = 'm',
     .argument = A::File,
     .label = "Verifikace",
     .help = "porovná FLASH se SOUBOREM"},
    {.id = Command::ReadFlash,
     .name = "Čtení FLASH",
     .leaves = L::FlashBuffer,
     .beforeLock = true,
     .run = readFlash,
     .option = "read",
     .letter = 'r',
     .argument = A::File,
     .label = "Čtení",
     .help = "přečte FLASH do SOUBORU"},
    {.id = Command::ReadEeprom,
     .name = "Čtení EEPROM",
     .needs = kEeprom,
     .lacks = kNoEeprom,
     .leaves = L::EepromBuffer,
     .beforeLock = true,
     .run = readEeprom,
     .option = "read-eeprom",
     .argument = A::File,
     .label = "Čtení EEPROM",
     .help = "přečte EEPROM do SOUBORU (AVR)"},
    {.id = Command::WriteEeprom,
     .name = "Zápis EEPROM",
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
     .label = "Zápis EEPROM",
     .help = "zapíše SOUBOR do EEPROM (AVR)"},
    {.id = Command::VerifyEeprom,
     .name = "Verifikace EEPROM",
     .needs = kEeprom,
     .lacks = kNoEeprom,
     .input = D::VerifyEeprom,
     .checked = K::Always,
     .beforeLock = true,
     .run = verifyEeprom,
     .option = "verify-eeprom",
     .argument = A::File,
     .label = "Verifikace EEPROM",
     .help = "porovná EEPROM se SOUBOREM (AVR)"},
    {.id = Command::ReadLockBits,
     .name = "Čtení lock bitů",
     .needs = kReadLock,
     .lacks = kNoLockRead,
     .leaves = L::LockLevel,
     .run = readLockBits,
     .option = "read-lock",
     .help = "vypíše úroveň lock bitů (AVR, 89S)"},
    {.id = Command::ReadFuses,
     .name = "Čtení fuse bitů",
     .needs = kFuses,
     .lacks = kNoFuses,
     .leaves = L::FuseByte,
     .run = readFuses,
     .option = "read-fuses",
     .help = "vypíše naprogramované fuse bity (AVR)"},
    {.id = Command::WriteFuses,
     .name = "Zápis fuse bitů",
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
     .help = "naprogramuje jmenované fuse bity a ostatní ne,\nnapř. --write-fuses=SPIEN,FSTRT "
             "(AVR)"},
    {.id = Command::ReadSerialFuse,
     .name = "Čtení Serial Prog. Fuse",
     .needs = kSerialFuse,
     .lacks = kNoSerialFuse,
     .leaves = L::SerialFuse,
     .run = readSerialFuse,
     .option = "read-serial-fuse",
     .help = "vypíše pojistku sériového programování (89S)"},
    {.id = Command::WriteSerialFuse,
     .name = "Zápis Serial Prog. Fuse",
     .needs = kSerialFuse,
     .lacks = kNoSerialFuse,
     .leaves = L::SerialFuse,
     .writes = true,
     .inJob = true,
     .beforeLock = true,
     .run = writeSerialFuse,
     .failure = "pojistka se nezapsala, čip ji ukazuje jinak",
     .option = "write-serial-fuse",
     .argument = A::OnOff,
     .help = "zapíše pojistku sériového programování (89S)"},
    {.id = Command::Signature,
     .name = "Podpis čipu",
     .leaves = L::Signature,
     .run = signature,
     .option = "signature",
     .letter = 's',
     .help = "vypíše podpis čipu v patici"},
    {.id = Command::Checksum,
     .name = "Kontrolní součet",
     .leaves = L::Checksum,
     .beforeLock = true,
     .run = readFlash,
     .option = "checksum",
     .argument = A::OptionalFile,
     .label = "Čtení",
     .help = "vypíše velikost, CRC-32 a 16bitový součet FLASH\n(přečte ji), nebo SOUBORU tak, "
             "jak ho bere zápis\n(AVR: bajty v pořadí překladače, nižší první);\nse samými "
             "soubory se port neotevře"},
    {.id = Command::AutoErase,
     .name = "Mazání před zápisem",
     .writes = true,
     .beforeLock = true,
     .run = eraseBeforeWrites,
     .label = "Mazání"},
    {.id = Command::WriteLock,
     .name = "Zápis lock bitů",
     .checkedBy = B::ReadBack,
     .checked = K::WhenChecking,
     .writes = true,
     .run = writeLock,
     .label = "Lock bity"},
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
