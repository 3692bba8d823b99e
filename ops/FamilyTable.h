#pragma once

#include <cstdint>
#include <string>

#include "ops/Operation.h"

namespace trilo {

// What the flash operations take from the selection and the options.
struct FlashJob {
    std::string FamilyTag;
    std::int32_t FlashSize = 0;
    bool AutoVerify = true;
    LockBoxes locks{};
};

// One family's five flash operations, as the flash commands call them.
struct FlashFamily {
    void (*ReadFlash)(OpContext&, const FlashJob&);
    void (*EraseChip)(OpContext&, const FlashJob&);
    bool (*BlankCheck)(OpContext&, const FlashJob&);
    Comparison (*WriteFlash)(OpContext&, const FlashJob&);
    Comparison (*VerifyFlash)(OpContext&, const FlashJob&);
};

enum class FlashCommand { Read, Erase, Write, Verify };

// The family whose operations a command runs. Read takes the MCS-51 operations for "X051",
// "X51" and "S51" and the AVR ones for any other tag; the other commands take the AVR
// operations for "AVR" and the MCS-51 ones for any other tag.
const FlashFamily& flashFamily(const std::string& FamilyTag, FlashCommand command);

}  // namespace trilo
