#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/Engine.h"
#include "engine/ScratchDir.h"
#include "production/ChipLog.h"
#include "production/JobFile.h"

// Chip after chip: the job run on one chip after another on one claim of the board, each
// with its serial number, its line in the log and its place in the counts. trilo-cli and the
// window's dialog only feed it chips.
namespace trilo {

class ProductionRun;

// Says when the next chip is in the socket, and hears how each one went.
class ChipFeeder {
public:
    virtual ~ChipFeeder() = default;
    // Before every chip: false ends the run.
    virtual bool nextChip(const ProductionRun& run) = 0;
    virtual void chipDone(const ChipResult& chip) { (void)chip; }
};

// The serial number's state file: the one given, else beside the job file, else beside the
// log (FILE.sn); empty when there is none of them.
std::string serialStatePath(const std::string& given, const std::string& jobFile,
                            const std::string& logFile);

// The run ended for a reason that is no chip's fault: the next serial number does not fit.
class RunEnded : public TriloError {
public:
    using TriloError::TriloError;
};

class ProductionRun {
public:
    // jobName: what the log calls the job (its file's name). statePath: where the serial
    // numbers are kept; needed when the job has a serial number. jobFile: the job's file,
    // which the log must not be. The serial state and the log are checked, and the log
    // opened, here, before the board is claimed: a refusal raises TriloError.
    ProductionRun(Engine& engine, JobSpec job, std::string jobName, std::string statePath,
                  const std::string& jobFile = {});
    ~ProductionRun();
    ProductionRun(const ProductionRun&) = delete;
    ProductionRun& operator=(const ProductionRun&) = delete;

    // Chip after chip as the feeder says, all on one claim of the board. Everything is
    // checked before the board is opened: the job's plan, the data files read and fitting,
    // the serial state readable and its number fitting; a refusal raises TriloError. Each chip
    // has its number taken from the state file before it is touched and given back when it
    // failed, the plan's steps, and its line in the log; it counts once its line is logged, and
    // a line that cannot be ends the run. RunEnded when the next number does not fit, before
    // that chip is touched; a stop (Stopped) ends the run once its chip's line is logged.
    void run(ChipFeeder& feeder);
    // The numbered steps of every chip, once run() has checked the job.
    std::vector<std::string> planLines() const;

    const JobSpec& job() const { return job_; }
    int chips() const { return good_ + bad_; }
    int good() const { return good_; }
    int bad() const { return bad_; }
    // The last chips, the newest last.
    const std::deque<ChipResult>& recent() const { return recent_; }
    // The next serial number, when the job has one.
    std::optional<std::uint64_t> nextSerial() const;
    static constexpr std::size_t kRecentKept = 10;

private:
    void prepare();
    ChipResult runChip();
    class Watcher;
    // An image with the serial number in place, written where its step reads it.
    void stage(const std::vector<std::uint8_t>& bytes);
    void finish(ChipResult& chip, std::optional<std::uint64_t> reserved);

    Engine& engine_;
    JobSpec job_;
    std::string jobName_;
    std::optional<SerialState> state_;
    std::unique_ptr<ChipLog> log_;
    ScratchDir scratch_;
    // The steps of every chip, the serial number's memory read from the staged image.
    Plan plan_;
    std::vector<std::string> planLines_;
    // The images as the writes take them (an AVR flash in the program's word order).
    std::vector<std::uint8_t> flashImage_;
    std::vector<std::uint8_t> eepromImage_;
    std::optional<std::uint32_t> crc32_;
    bool writesFlash_ = false;
    std::string serialFile_;  // the staged image the serial number is written into
    int good_ = 0;
    int bad_ = 0;
    std::deque<ChipResult> recent_;
};

}  // namespace trilo
