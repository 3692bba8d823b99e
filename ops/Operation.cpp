#include "ops/Operation.h"

#include <cmath>
#include <cstdio>

namespace trilo {

int percentOf(std::int64_t done, std::int64_t total) {
    if (total <= 0) {
        return 0;
    }
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return static_cast<int>(
        std::nearbyint(static_cast<double>(done) / static_cast<double>(total) * 100.0));
}

namespace {

std::string hexAddress(std::int64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%04llX", static_cast<unsigned long long>(address));
    return text;
}

std::string hexByte(std::uint8_t b) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", b);
    return text;
}

}  // namespace

std::string Difference::text() const {
    const std::string where =
        fileOffset ? format(_("{0} (v souboru {1})"), hexAddress(address), hexAddress(*fileOffset))
                   : hexAddress(address);
    return format(_("první rozdíl na adrese {0}: v souboru {1}, v čipu {2}"), where,
                  hexByte(inFile), hexByte(inChip));
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
        c.sink.detailedInfo(_(kVerifyFailed) + (number > 0 ? std::to_string(number) : ""),
                            failureDetail(*differs, explanation));
    } else {
        c.sink.info(_(kVerifyOk));
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
