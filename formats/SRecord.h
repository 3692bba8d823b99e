#pragma once

#include <span>
#include <string>
#include <string_view>

#include "formats/Image.h"

namespace trilo {

// Reads the text of a Motorola S-record file: S0 (header, ignored), S1/S2/S3 (data with a
// 16-, 24- or 32-bit address), S5/S6 (the count of data records from the file's start,
// checked), S7/S8/S9 (end, the start address ignored). Every record's checksum is checked. As
// in Intel HEX, lines end in LF or CRLF, empty lines are skipped, and nothing may follow the
// end record. A file ends with its end record or, as srec_cat writes it without a start
// address, with a count record; refusals name the line ("... na řádku 3 souboru S-record ! ").
HexReadResult readSRecord(std::string_view text);

// The image as S-records: an empty S0 header, data records of 16 bytes with the shortest
// address that reaches the image's end (S1, S2 or S3), the S5 (or S6) count and the matching
// end record; upper-case digits, lines ending in LF.
std::string writeSRecord(std::span<const std::uint8_t> image);

}  // namespace trilo
