#pragma once

#include <optional>
#include <string>

#include "base/Errors.h"
#include "commands/Plan.h"
#include "devices/Catalog.h"
#include "production/Serial.h"

// A job file (.trilo): what one chip of a series gets, in the INI form of programmer.ini,
// section "JOB". trilo-cli runs it, the window opens and saves it.
namespace trilo {

inline constexpr const char* kJobExtension = ".trilo";

struct JobSpec {
    const DeviceInfo* device = nullptr;
    // The data files, as the program opens them; the file names them relative to itself.
    std::string flashFile;
    std::string eepromFile;
    // The automatic erase before the first write, the writes' read-back, and a verify by
    // reading after the flash write.
    bool erase = true;
    bool verify = true;
    bool verifyByRead = false;
    int lockLevel = 0;
    // A fuse write and the fuse names it programs ("-" for none); a serial-fuse write.
    std::optional<std::string> fuses;
    std::optional<bool> serialFuseOn;
    bool checkSignature = true;
    std::string logFile;
    std::optional<SerialRule> serial;
    // A chip that failed uses up its number all the same.
    bool serialUseFailed = false;
    // The number may replace bytes of the image other than 0xFF.
    bool serialOverImage = false;
    bool operator==(const JobSpec&) const = default;
};

// A job file that cannot be run: "úloha.trilo:7: neznámý klíč „Foo“".
class JobFileError : public TriloError {
public:
    using TriloError::TriloError;
};

// Reads a job file whole: an unknown section or key, a key given twice, a bad value, a value
// the device cannot take or a data file that is not there is refused with its line and why.
JobSpec readJobFile(const std::string& path);

// Writes the job, the file's other lines (comments) kept when it exists, replaced in one
// step. Data files are named relative to the job file's directory.
void writeJobFile(const std::string& path, const JobSpec& job);

// What the job's device cannot take, with the key that asks for it; for a job whose values
// were laid over by the command line.
struct JobRefusal {
    std::string key;
    std::string reason;
    bool file = false;  // a data file's refusal, not a value's
};
// optionNames: the keys are trilo-cli's options, for a job that no file holds.
std::optional<JobRefusal> jobRefusal(const JobSpec& job, bool optionNames = false);

// What a job asks of every chip, for the planner: its writes in the order the chip takes them,
// named by the job file's keys, or by trilo-cli's options for a job that no file holds.
PlanRequest planRequest(const JobSpec& job, bool optionNames = false);

// The fuse byte the job's fuse write writes (bit k for box chDk, 0 = programmed); 0xFF
// without one.
std::uint8_t jobFuseByte(const JobSpec& job);

}  // namespace trilo
