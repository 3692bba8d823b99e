#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/CommandTable.h"
#include "devices/Catalog.h"

// One plan for every run of more than one command: from what a face asks (trilo-cli's
// commands and options, a job file, the window's series), the steps in the order the chip can
// take them, and every refusal before the board is touched, in the same words for every face.
//
// The order: the commands as asked (a job asks for its writes in the order the chip takes
// them: the EEPROM, the flash with its serial number, the fuses, the serial fuse); one erase
// before the first write (the one asked for, or the automatic erase, which belongs to a flash
// write and so only to a run that writes the flash: the flash write's own when it is the first
// write); the flash's verify by reading after the writes; the lock bits after the last step
// that a locked chip would refuse, each with its read-back. A step keeps its own sequence: the
// plan orders whole commands, and a flash write that nothing follows which the lock would
// refuse programs its lock bits itself, as in the window.
namespace trilo {

// A command as a face asked for it, and how the face names it ("--write", "Flash").
struct Asked {
    Command command;
    CommandArgs args;
    std::string origin;
};

// How the steps of a run check their work: the window's "Set Up" options, a job file's keys,
// trilo-cli's options.
struct RunChecks {
    bool readBack = true;
    bool blankCheck = true;
    bool verifyByRead = false;
    bool checkSignature = true;
};

// Where a run puts a serial number, for the checks that it fits its memory and leaves the
// program's own bytes alone.
struct SerialField {
    bool eeprom = false;
    std::int64_t address = 0;  // as the user's tools give it
    int bytes = 0;
    // The field may cover bytes of the image other than 0xFF, which it then replaces.
    bool overImage = false;
    std::string origin;
};

struct PlanRequest {
    const DeviceInfo* device = nullptr;
    std::vector<Asked> asked;  // in the order given
    // A flash write erases the chip first ("Aut. mazat FLASH před zapisem").
    bool autoErase = true;
    // Programmed last, after a flash write; 0 none.
    int lockLevel = 0;
    std::string lockOrigin;
    // The flash is verified by reading after it is written, unless a verify is asked for.
    bool verifyAfterWrite = false;
    std::string verifyOrigin;
    RunChecks checks;
    std::optional<SerialField> serial;
};

struct PlanStep {
    Command command;
    CommandArgs args;
    std::string origin;
};

struct Plan {
    const DeviceInfo* device = nullptr;
    RunChecks checks;
    std::vector<PlanStep> steps;
    std::optional<SerialField> serial;
    // Whether a step reads or writes the memory the serial number goes into, whose image is
    // then the one with the number in place.
    bool holdsSerial(const PlanStep& step) const;
};

// Why a run cannot start. kind File: a data file (exit status 3 of trilo-cli), else what
// was asked (2).
struct PlanRefusal {
    enum class Kind { Usage, File };
    Kind kind = Kind::Usage;
    std::string origin;
    std::string reason;
    // What a file's check said, as the command's box says it ("Soubor vstupních dat je větší
    // než velikost FLASH v CPU ! "); empty for a refusal that is no file's.
    std::string message;
    // "--lock: 90S2313 má lock bity úrovně 1 až 2"
    std::string text() const { return origin.empty() ? reason : origin + ": " + reason; }
};

// The steps in the chip's order, or why not: a command the device does not offer, an erase
// after an EEPROM write it would undo, a lock level the device has not or without a flash
// write, a verify by reading without the flash, a serial number beyond its memory.
std::variant<Plan, PlanRefusal> makePlan(const PlanRequest& request);

// The files the steps read and write, checked as the steps will check them, before the board
// is opened: each data file exists, is one (not a directory), is valid, fits its memory, and
// holds bytes for it (a verify's, something to compare); the serial number leaves the image's
// own bytes alone unless allowed; a read's file is one the program can write. A write of the
// serial's memory without a file takes the number alone.
// A failure to read a file raises its input/output error (TriloError).
std::optional<PlanRefusal> checkInputs(const Plan& plan);
// The same for one of its steps.
std::optional<PlanRefusal> checkInput(const Plan& plan, const PlanStep& step);

// The numbered steps as the dry run and the series dialog show them: "3. Zápis FLASH:
// fw.bin, mazání předem, čtení zpět".
std::vector<std::string> planLines(const Plan& plan);

}  // namespace trilo
