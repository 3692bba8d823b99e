// libFuzzer target for the S-record reader and writer.
#include "RecordsFuzz.h"
#include "formats/SRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return checkRecords(data, size, trilo::readSRecord, trilo::writeSRecord);
}
