#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ops/Operation.h"

// One line per chip: what a production run did to each chip, for the log file, the console
// and the window's protocol.
namespace trilo {

struct ChipResult {
    int number = 0;  // the chip's place in the run, from 1
    bool passed = false;
    std::string time;  // ISO 8601, local with its offset
    std::string device;
    std::string signature;  // "1E 91 01"; empty when no signature was read
    // The step that failed, and what it said.
    std::string failedStep;
    std::string message;
    std::optional<Difference> difference;
    std::optional<std::uint32_t> crc32;  // of what was written to the flash, else the EEPROM
    std::optional<std::uint64_t> serial;
    std::int64_t durationUs = 0;
};

// "#12 OK 90S2313 1E 91 01, CRC-32 0x1A2B3C4D, 1,4 s, SN 1012"; a failed chip names its step,
// the message and the first difference.
std::string chipLine(const ChipResult& chip);
// "Hotovo: 12 čipů, 11 dobrých, 1 vadný"
std::string countsLine(int chips, int good, int bad);

// The log's rows: the header, and a chip's fields in its order, quoted where CSV needs it; a
// field that a spreadsheet would take for a formula (=, +, - or @ first) begins with an
// apostrophe inside its quotes, so that it shows as text.
std::string csvHeader();
std::string csvRow(const ChipResult& chip, const std::string& job);
std::string csvField(const std::string& text);

// The time now as the log writes it: "2024-05-01T14:03:22+02:00".
std::string isoTimeNow();

// The log file, opened for the whole run before the board is claimed: appended to and never
// replaced, never through a link; not a file that is not regular, another user's, one
// everyone may write or one its owner made read-only, nor one the run reads (inputs: the job
// file, its data files, the serial state). The runs that share a log write each line, and the
// header of a new or empty one, under the file's lock, so it takes whole lines and one header;
// each line is flushed to disk, and one that does not reach it whole is cut off again.
// Failures raise TriloError.
class ChipLog {
public:
    explicit ChipLog(const std::string& path, const std::vector<std::string>& inputs = {});
    ~ChipLog();
    ChipLog(const ChipLog&) = delete;
    ChipLog& operator=(const ChipLog&) = delete;
    void append(const std::string& row);

private:
    // Into an empty file only, for the header.
    void write(const std::string& row, bool header);

    std::string path_;
    int fd_ = -1;
};

}  // namespace trilo
