#include "formats/SRecord.h"

#include <array>
#include <optional>
#include <utility>

#include "base/Text.h"
#include "formats/Records.h"

namespace trilo {

namespace {

constexpr std::string_view kKind = "S-record";
constexpr std::size_t kBytesPerRecord = 16;

// The address bytes of each record type S0 to S9; 0 for S4, which no format defines.
constexpr std::array<std::size_t, 10> kAddressBytes = {2, 2, 3, 4, 0, 2, 3, 4, 3, 2};

HexRefusal refuse(std::size_t line, const std::string& fault) {
    return records::lineRefusal(line, fault, kKind);
}

class Reader : public records::RecordState {
public:
    // srec_cat writes its count record but no end record unless it is given a start address.
    static constexpr const char* kAddEnd =
        N_("srec_cat jej zapíše s volbou -Execution_Start_Address 0");

    std::optional<HexRefusal> take(std::string_view line, std::size_t number) {
        // Only a count record as the last record proves the file whole without an end record.
        complete = false;
        if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9') {
            return refuse(number, _("Chybný záznam"));
        }
        const int type = line[1] - '0';
        const std::size_t addressBytes = kAddressBytes[static_cast<std::size_t>(type)];
        if (addressBytes == 0) {
            return refuse(number, format(_("Neznámý typ záznamu {}"), "S" + std::to_string(type)));
        }
        // The count byte covers the address, the data and the checksum, and so fixes the
        // line's length.
        const int count = records::hexByte(line, 2);
        if (count < 0 || static_cast<std::size_t>(count) < addressBytes + 1 ||
            line.size() != 4 + 2 * static_cast<std::size_t>(count)) {
            return refuse(number, _("Chybný záznam"));
        }
        std::array<std::uint8_t, 256> bytes{};
        unsigned sum = static_cast<unsigned>(count);
        for (int i = 0; i < count; ++i) {
            const int byte = records::hexByte(line, 4 + 2 * static_cast<std::size_t>(i));
            if (byte < 0) {
                return refuse(number, _("Chybný záznam"));
            }
            bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(byte);
            sum += static_cast<unsigned>(byte);
        }
        if (sum % 256 != 0xFF) {
            return refuse(number, _("Chybný kontrolní součet"));
        }
        std::size_t address = 0;
        for (std::size_t i = 0; i < addressBytes; ++i) {
            address = address << 8 | bytes[i];
        }
        const std::span<const std::uint8_t> data(
            bytes.data() + addressBytes, static_cast<std::size_t>(count) - addressBytes - 1);
        if (type >= 1 && type <= 3) {
            ++dataRecords_;
            if (auto fault = image.put(address, data)) {
                return refuse(number, *fault);
            }
            return std::nullopt;
        }
        if (type != 0 && !data.empty()) {
            return refuse(number, _("Chybný záznam"));
        }
        if ((type == 5 || type == 6) && address != dataRecords_) {
            return refuse(number,
                          format(_("Záznam S{0} udává počet datových záznamů {1}, v souboru je "
                                   "jich {2}"),
                                 std::to_string(type), std::to_string(address),
                                 std::to_string(dataRecords_)));
        }
        // A count covers every data record from the file's start, as srec_cat checks it.
        complete = type == 5 || type == 6;
        ended = type >= 7;
        return std::nullopt;
    }

private:
    std::size_t dataRecords_ = 0;
};

void appendRecord(std::string& out, int type, std::size_t address,
                  std::span<const std::uint8_t> data) {
    const std::size_t addressBytes = kAddressBytes[static_cast<std::size_t>(type)];
    out += 'S';
    out += static_cast<char>('0' + type);
    records::RecordText record(out);
    record.put(static_cast<std::uint8_t>(addressBytes + data.size() + 1));
    for (std::size_t i = addressBytes; i-- > 0;) {
        record.put(static_cast<std::uint8_t>(address >> (8 * i)));
    }
    record.put(data);
    record.put(static_cast<std::uint8_t>(~record.sum()));
    out += '\n';
}

}  // namespace

HexReadResult readSRecord(std::string_view text) {
    return records::readLines<Reader>(text, kKind);
}

std::string writeSRecord(std::span<const std::uint8_t> image) {
    // S1 reaches 64 KiB, S2 16 MiB, S3 the rest; each ends with its own end record.
    const int dataType = image.size() <= 0x10000 ? 1 : image.size() <= 0x1000000 ? 2 : 3;
    std::string out;
    out.reserve(image.size() * 3 + 64);
    appendRecord(out, 0, 0, {});
    std::size_t records = 0;
    for (std::size_t address = 0; address < image.size(); address += kBytesPerRecord, ++records) {
        appendRecord(out, dataType, address,
                     image.subspan(address, std::min(kBytesPerRecord, image.size() - address)));
    }
    appendRecord(out, records <= 0xFFFF ? 5 : 6, records, {});
    appendRecord(out, 10 - dataType, 0, {});
    return out;
}

}  // namespace trilo
