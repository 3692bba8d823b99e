#include "ops/Operation.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace trilo {

int percentOf(std::int64_t done, std::int64_t total) {
    if (total <= 0) {
        return 0;
    }
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return static_cast<int>(
        std::nearbyint(static_cast<double>(done) / static_cast<double>(total) * 100.0));
}

std::string Difference::text() const {
    char where[64];
    std::snprintf(where, sizeof where, "0x%04llX", static_cast<unsigned long long>(address));
    if (fileOffset) {
        const auto end = std::strlen(where);
        std::snprintf(where + end, sizeof where - end, " (v souboru 0x%04llX)",
                      static_cast<unsigned long long>(*fileOffset));
    }
    char line[128];
    std::snprintf(line, sizeof line, "první rozdíl na adrese %s: v souboru %02X, v čipu %02X",
                  where, inFile, inChip);
    return line;
}

Difference differenceAt(const OpContext& c, std::int64_t offset, std::uint8_t inFile,
                        std::uint8_t inChip) {
    Difference d{c.swappedWords ? offset ^ 1 : offset, inFile, inChip};
    if (c.rawInput && d.address != offset) {
        d.fileOffset = offset;
    }
    return d;
}

std::string failureDetail(const Difference& first, const std::string& explanation) {
    return explanation.empty() ? first.text() : first.text() + "\n" + explanation;
}

void verifyEnded(OpContext& c, const std::optional<Difference>& differs, std::int64_t number) {
    // The gauge keeps the failing byte's place until the message is closed.
    if (differs) {
        const std::string explanation = c.explainFailure ? c.explainFailure() : std::string();
        c.sink.detailedInfo(std::string(kVerifyFailed) + (number > 0 ? std::to_string(number) : ""),
                            failureDetail(*differs, explanation));
    } else {
        c.sink.info(kVerifyOk);
    }
    c.sink.progress(0);
}

void stepAt(OpContext& c, std::int64_t address, int percent) {
    if (c.stop != nullptr && c.stop->load(std::memory_order_relaxed)) {
        throw Stopped(address);
    }
    c.sink.progress(percent);
}

void runReleasing(OpContext& c, const std::function<void()>& operation) {
    try {
        operation();
    } catch (...) {
        c.DataFile.closeQuietly();
        c.link.ReleaseTarget();
        throw;
    }
}

}  // namespace trilo
