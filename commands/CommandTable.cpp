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

Outcome readFuses(CommandCall& k) {
    return ran(k.result.fuses = commands::ReadFuses(k.c, k.params));
}

Outcome writeFuses(CommandCall& k) {
    return commands::WriteFuses(k.c, k.params, k.fuses);
}

Outcome readSerialFuse(CommandCall& k) {
    return ran(k.result.serialFuse = commands::ReadSerialFuse(k.c, k.params));
}

Outcome writeSerialFuse(CommandCall& k) {
    const auto on = k.result.serialFuse = commands::WriteSerialFuse(k.c, k.params, k.serialFuseOff);
    // The write reads the fuse back: one that did not take is a failed write.
    return on && *on == k.serialFuseOff ? Outcome::WriteFailed : ran(on);
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

// In the order of the help.
constexpr CommandRow kRows[] = {
    {Command::Erase, "Mazání", nullptr, nullptr, std::nullopt, L::Nothing, B::BlankCheck,
     K::WhenChecking, false, erase, "erase", 'e', A::None, "Mazání",
     "smaže čip a ověří, že je FLASH prázdná; u AVR\nsmaže i EEPROM"},
    {Command::WriteFlash, "Zápis FLASH", nullptr, nullptr, Destination::Flash, L::Nothing,
     B::ReadBack, K::WhenChecking, true, writeFlash, "write", 'w', A::File, "Zápis",
     "zapíše SOUBOR do FLASH a každé slovo (bajt) hned\npřečte zpět; čip se předtím smaže, "
     "jednou za běh\npřed jeho prvním zápisem (u AVR i EEPROM)"},
    {Command::Verify, "Verifikace", nullptr, nullptr, Destination::Verify, L::Nothing, B::Nothing,
     K::Always, false, verify, "verify", 'm', A::File, "Verifikace", "porovná FLASH se SOUBOREM"},
    {Command::ReadFlash, "Čtení FLASH", nullptr, nullptr, std::nullopt, L::FlashBuffer, B::Nothing,
     K::Never, false, readFlash, "read", 'r', A::File, "Čtení", "přečte FLASH do SOUBORU"},
    {Command::ReadEeprom, "Čtení EEPROM", kEeprom, kNoEeprom, std::nullopt, L::EepromBuffer,
     B::Nothing, K::Never, false, readEeprom, "read-eeprom", 0, A::File, "Čtení EEPROM",
     "přečte EEPROM do SOUBORU (AVR)"},
    {Command::WriteEeprom, "Zápis EEPROM", kEeprom, kNoEeprom, Destination::Eeprom, L::Nothing,
     B::ReadBack, K::WhenChecking, true, writeEeprom, "write-eeprom", 0, A::File, "Zápis EEPROM",
     "zapíše SOUBOR do EEPROM (AVR)"},
    {Command::VerifyEeprom, "Verifikace EEPROM", kEeprom, kNoEeprom, Destination::VerifyEeprom,
     L::Nothing, B::Nothing, K::Always, false, verifyEeprom, "verify-eeprom", 0, A::File,
     "Verifikace EEPROM", "porovná EEPROM se SOUBOREM (AVR)"},
    {Command::ReadLockBits, "Čtení lock bitů", kReadLock, kNoLockRead, std::nullopt, L::LockLevel,
     B::Nothing, K::Never, false, readLockBits, "read-lock", 0, A::None, "",
     "vypíše úroveň lock bitů (AVR, 89S)"},
    {Command::ReadFuses, "Čtení fuse bitů", kFuses, kNoFuses, std::nullopt, L::FuseByte, B::Nothing,
     K::Never, false, readFuses, "read-fuses", 0, A::None, "",
     "vypíše naprogramované fuse bity (AVR)"},
    {Command::WriteFuses, "Zápis fuse bitů", kFuses, kNoFuses, std::nullopt, L::Nothing,
     B::ReadBack, K::Never, true, writeFuses, "write-fuses", 0, A::FuseNames, "",
     "naprogramuje jmenované fuse bity a ostatní ne,\nnapř. --write-fuses=SPIEN,FSTRT (AVR)"},
    {Command::ReadSerialFuse, "Čtení Serial Prog. Fuse", kSerialFuse, kNoSerialFuse, std::nullopt,
     L::SerialFuse, B::Nothing, K::Never, false, readSerialFuse, "read-serial-fuse", 0, A::None, "",
     "vypíše pojistku sériového programování (89S)"},
    {Command::WriteSerialFuse, "Zápis Serial Prog. Fuse", kSerialFuse, kNoSerialFuse, std::nullopt,
     L::SerialFuse, B::Nothing, K::Never, true, writeSerialFuse, "write-serial-fuse", 0, A::OnOff,
     "", "zapíše pojistku sériového programování (89S)"},
    {Command::Signature, "Podpis čipu", nullptr, nullptr, std::nullopt, L::Signature, B::Nothing,
     K::Never, false, signature, "signature", 's', A::None, "", "vypíše podpis čipu v patici"},
    {Command::Checksum, "Kontrolní součet", nullptr, nullptr, std::nullopt, L::Checksum, B::Nothing,
     K::Never, false, readFlash, "checksum", 0, A::OptionalFile, "Čtení",
     "vypíše velikost, CRC-32 a 16bitový součet FLASH\n(přečte ji), nebo SOUBORU tak, jak ho "
     "bere zápis\n(AVR: bajty v pořadí překladače, nižší první);\nse samými soubory se port "
     "neotevře"},
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
