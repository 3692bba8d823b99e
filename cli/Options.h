#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "board/BoardSettings.h"
#include "commands/CommandTable.h"
#include "commands/DataFiles.h"
#include "devices/Catalog.h"

namespace trilo::cli {

// The exit statuses, as --help and the manual page give them.
enum Exit : int {
    kOk = 0,
    kFailed = 1,  // verify mismatch, read-back error, chip not blank, chip refused
    kUsage = 2,
    kFileError = 3,
    kPortError = 4,
    // An interrupt ends with 128 and the signal's number: 130 for SIGINT, 143 for SIGTERM.
};

// A command as the command line gives it; the plan puts the commands in the chip's order.
struct Step {
    Command command;
    std::string option;  // "--write", for messages
    std::string file;    // the data file, "-" for standard input or output; for --checksum
                         // empty when it is the chip's flash
    std::uint8_t fuses = 0xFF;
    bool off = false;  // the serial-programming fuse
};

struct Options {
    bool help = false;
    bool version = false;
    bool list = false;
    bool ports = false;
    const DeviceInfo* device = nullptr;
    std::vector<Step> steps;

    bool force = false;
    bool autoErase = true;
    bool readBack = true;
    bool blankCheck = true;
    bool verifyByRead = false;
    int lockLevel = 0;
    commands::FileFormat format = commands::FileFormat::ByName;
    bool quiet = false;
    // -v: each command's outcome, the board and the signature on standard error; -v -v
    // also every port access in the trace format.
    int verbose = 0;

    // The board as the command line gives it; what it leaves out comes from programmer.ini.
    std::optional<std::string> port;
    std::optional<std::string> board;
    std::optional<std::string> trace;
    std::optional<std::string> simSocket;
    std::optional<std::string> simFault;
    std::optional<std::string> simChip;
    std::optional<std::int32_t> pollLimit;

    // Chip after chip: a job file, whose values the options above override; the run again
    // for every chip; a serial number per chip, its state file, and the log.
    std::optional<std::string> job;
    bool repeat = false;
    std::optional<std::string> serial;
    std::optional<std::string> serialState;
    bool serialUseFailed = false;
    bool serialOverImage = false;
    std::optional<std::string> log;
    // --dry-run: the plan's steps printed, no board touched.
    bool dryRun = false;
    // --lang: the language of every word (cs, en), over programmer.ini's Language.
    std::optional<std::string> lang;
    // Whether the command line set these, so that they override the job's.
    bool lockGiven = false;
    // A job's run: what trilo-cli runs is the job, one chip or chip after chip.
    bool production() const { return job || repeat || serial || log; }
    // --board-test: the board test instead of commands (no chip needed); with hold:0xNN the
    // hold of that control byte.
    bool boardTest = false;
    std::optional<std::uint8_t> hold;
};

// The command line cannot be run as given; the text says why, in the chosen language.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The command line as given: its options, the device, the fuse names the device has. What the
// commands ask of the device and of each other is the plan's to check. The commands' options
// are the table's.
Options parseOptions(int argc, char** argv);

std::string helpText();
// The language the command line asks for (--lang=CODE or --lang CODE, the last one given),
// before the rest is parsed, so that even a usage error speaks it; else programmer.ini's
// Language in the current directory when it names one the program speaks; else Czech.
std::string languageAsked(int argc, char** argv);
// The command line's board over programmer.ini's: what it names replaces the file's.
BoardSettings commandLineBoard(const Options& o, BoardSettings board);

}  // namespace trilo::cli
