// libFuzzer target for the Intel HEX reader and writer.
#include "RecordsFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return checkRecords(data, size, trilo::readIntelHex, trilo::writeIntelHex);
}
