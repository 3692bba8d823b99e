// The formats of data files other than Intel HEX (S-record, ELF), how a file's name and
// content choose among them, and the registry every place that tells formats apart asks.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "commands/DataFiles.h"
#include "formats/DataFormat.h"
#include "formats/Elf.h"
#include "formats/SRecord.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using Outcome = std::variant<const DataFormat*, std::string>;

const DataFormat* row(std::string_view name) {
    for (const DataFormat& format : dataFormats()) {
        if (format.name == name) {
            return &format;
        }
    }
    ADD_FAILURE() << "no format " << name;
    return nullptr;
}

const DataFormat* const kRaw = row("binární data");
const DataFormat* const kIntelHex = row("Intel HEX");
const DataFormat* const kSRecord = row("S-record");
const DataFormat* const kElf = row("ELF");

ImageRead readImage(const DataFormat* format, std::string_view bytes, bool avr, bool eeprom) {
    return format->read(bytes, {.avr = avr, .eeprom = eeprom});
}

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(TRILO_FIXTURES_DIR) + "/intelhex/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

HexImage image(const std::variant<HexImage, std::string>& result) {
    if (const auto* refusal = std::get_if<std::string>(&result)) {
        ADD_FAILURE() << "refused: " << *refusal;
        return {};
    }
    return std::get<HexImage>(result);
}

std::string refusal(const std::variant<HexImage, std::string>& result) {
    const auto* text = std::get_if<std::string>(&result);
    return text != nullptr ? *text : "accepted";
}

const std::string kElfHead = std::string(
    "\x7f"
    "ELF\x01\x01\x01",
    7);

TEST(DataFormat, TheExtensionDecidesAndTheContentWhereItIsUnknown) {
    const std::string hex = ":100000000AC01BC01AC019C018C017C016C015C0C4\n";
    const std::string srec = "S0030000FC\nS1060000010203F3\n";
    const std::string binary("\x0c\xc0\x00\xff", 4);
    const std::vector<std::tuple<const char*, std::string, Outcome>> cases = {
        {"fw.hex", hex, kIntelHex},
        {"/home/u/FW.HEX", hex, kIntelHex},
        {"a/b.Ihx", hex, kIntelHex},
        {"c.iHeX", hex, kIntelHex},
        {"fw.S19", srec, kSRecord},
        {"fw.s28", srec, kSRecord},
        {"fw.s37", srec, kSRecord},
        {"fw.mot", srec, kSRecord},
        {"fw.srec", srec, kSRecord},
        {"fw.elf", kElfHead, kElf},
        // A raw file may hold anything, an ELF file's bytes too.
        {"fw.hex.bin", kElfHead, kRaw},
        {"fw.BIN", hex, kRaw},
        // Unknown extensions: the first bytes, past leading blank lines.
        {"fw", "\r\n" + hex, kIntelHex},
        {"fw.hexx", hex, kIntelHex},
        {"d.hex/fw", srec, kSRecord},
        {"main.out", kElfHead, kElf},
        {"image", binary, kRaw},
        {"notes.txt", "Sx: a note\n", kRaw},
        {"empty", "", kRaw},
        // Text that is no valid record is the reader's to refuse, with the line at fault.
        {"fw.hex", "0100000001FE\n", kIntelHex},
        {"fw.hex", "", kIntelHex},
        {"fw.hex", kElfHead, "Soubor má příponu .hex (Intel HEX), ale obsahuje ELF ! "},
        {"fw.HEX", binary, "Soubor má příponu .hex (Intel HEX), ale obsahuje binární data ! "},
        {"fw.srec", hex, "Soubor má příponu .srec (S-record), ale obsahuje Intel HEX ! "},
        {"fw.ihx", srec, "Soubor má příponu .ihx (Intel HEX), ale obsahuje S-record ! "},
        {"fw.elf", hex, "Soubor má příponu .elf (ELF), ale obsahuje Intel HEX ! "},
        {"fw.elf", "hello\n", "Soubor má příponu .elf (ELF), ale obsahuje prostý text ! "},
    };
    for (const auto& [name, head, outcome] : cases) {
        EXPECT_EQ(formatOf(name, head), outcome) << name << " " << head;
    }
}

// Each format as the places that tell formats apart see its row: the name and the content that
// tell it, what -f takes for it, whether a read may be saved into it, the extension a save
// proposes beside a data file of it, named and told by its content alone, and the refusal of
// a file of it too large to read.
TEST(DataFormat, EachFormatIsOneRowOfTheRegistry) {
    const TestDir dir;
    const struct {
        const DataFormat* format;
        const char* name;  // in the letter case a user may give it
        std::string content;
        const char* option;  // as typed after -f
        bool offered;        // by -f
        bool saved;
        const char* proposed;      // beside `name`
        const char* proposedBare;  // beside a file of the content without an extension
        const char* tooLarge;
    } cases[] = {
        {kRaw, "FW.BIN", std::string("\x0c\xc0\x00\xff", 4), "RAW", true, true, ".bin", ".bin",
         "Soubor je příliš velký ! "},
        {kIntelHex, "fw.IHX", ":0100000001FE\n:00000001FF\n", "iHex", true, true, ".IHX", ".hex",
         "Soubor HEX je příliš velký ! "},
        {kSRecord, "fw.S19", "S1040000017A\nS9030000FC\n", "srec", true, true, ".S19", ".srec",
         "Soubor S-record je příliš velký ! "},
        {kElf, "fw.Elf", kElfHead, "elf", false, false, ".bin", ".bin",
         "Soubor ELF je příliš velký ! "},
    };
    for (const auto& c : cases) {
        const std::string bare = dir.file(std::string("bare ") + c.format->name);
        dir.write(c.name, c.content);
        dir.write(std::filesystem::path(bare).filename(), c.content);
        EXPECT_EQ(formatOfName(c.name), c.format) << c.name;
        EXPECT_EQ(formatOf(bare, c.content), Outcome(c.format)) << c.name;
        EXPECT_EQ(formatForOption(c.option), c.offered ? c.format : nullptr) << c.option;
        EXPECT_EQ(c.format->writable(), c.saved) << c.name;
        for (const std::string& file : {dir.file(c.name), bare}) {
            EXPECT_EQ(commands::saveRefusal(file).has_value(), !c.saved) << file;
        }
        EXPECT_EQ(commands::savedExtension(dir.file(c.name)), c.proposed) << c.name;
        EXPECT_EQ(commands::savedExtension(bare), c.proposedBare) << c.name;
        std::filesystem::resize_file(dir.file(c.name), commands::kLargestHexText + 1);
        EXPECT_EQ(commands::inputImage(dir.file(c.name), commands::BufferContent::Mcs51Flash),
                  commands::InputImage(std::string(c.tooLarge)));
    }
    EXPECT_EQ(commands::savedExtension(""), ".bin");
}

TEST(SRecordRead, AcceptsEveryRecordKind) {
    const std::string binary = fixture("mcs51-blink.bin");
    const std::vector<std::pair<std::string, HexImage>> cases = {
        {"S00600004844521B\nS1060000010203F3\nS5030001FB\nS9030000FC\n", {1, 2, 3}},
        {fixture("mcs51-blink-srec_cat.srec"), HexImage(binary.begin(), binary.end())},
        {"S1060000010203F3\nS604000001FA\n", {1, 2, 3}},
        {"S1060000010203F3\nS5030001FB\nS1060003040506E7\nS5030002FA\n", {1, 2, 3, 4, 5, 6}},
        {"S5030000FC\n", {}},
        {"S205010000AA4F\r\n\r\nS604000001FA\r\nS804000000FB\r\n",
         [] {
             HexImage i(0x10001, 0xFF);
             i[0x10000] = 0xAA;
             return i;
         }()},
        {"S306000000005a9f\nS70500000000fa", {0x5A}},
    };
    for (const auto& [text, want] : cases) {
        EXPECT_EQ(image(readImage(kSRecord, text, false, false)), want) << text;
    }
}

TEST(SRecordRead, RefusesInvalidFilesNamingTheLine) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"S1060000010203F4\nS9030000FC\n",
         "Chybný kontrolní součet na řádku 1 souboru S-record ! "},
        {"S1060000010203F3\nS5030002FA\nS9030000FC\n",
         "Záznam S5 udává počet datových záznamů 2, v souboru je jich 1 na řádku 2 souboru "
         "S-record ! "},
        {"S4030000FC\n", "Neznámý typ záznamu S4 na řádku 1 souboru S-record ! "},
        {"S1070000010203F3\n", "Chybný záznam na řádku 1 souboru S-record ! "},
        {"S10600000102G3F3\n", "Chybný záznam na řádku 1 souboru S-record ! "},
        {"S9040000AA51\n", "Chybný záznam na řádku 1 souboru S-record ! "},
        {"S1060000010203F3\nS5030001FB\nS1060003040506E7\n",
         "Soubor S-record končí na řádku 3 bez záznamu konce souboru (srec_cat jej zapíše s "
         "volbou -Execution_Start_Address 0) ! "},
        {"S1060000010203F3\nS5030001FB\nS1060003040506E7\nS5030001FB\n",
         "Záznam S5 udává počet datových záznamů 1, v souboru je jich 2 na řádku 4 souboru "
         "S-record ! "},
        {"S9030000FC\nS1060000010203F3\n",
         "Data za záznamem konce souboru na řádku 2 souboru S-record ! "},
        {"S3060010000001E8\nS70500000000FA\n",
         "Adresa 0x100000 je za hranicí 1 MiB na řádku 1 souboru S-record ! "},
    };
    for (const auto& [text, message] : cases) {
        EXPECT_EQ(refusal(readImage(kSRecord, text, false, false)), message) << text;
    }
}

TEST(SRecordWrite, WritesTheShortestAddressAndReadsBack) {
    EXPECT_EQ(writeSRecord(HexImage{1, 2, 3}),
              "S0030000FC\nS1060000010203F3\nS5030001FB\nS9030000FC\n");
    // One byte above 64 KiB takes 24-bit addresses and their end record.
    HexImage large(0x10001);
    for (std::size_t i = 0; i < large.size(); ++i) {
        large[i] = static_cast<std::uint8_t>(i * 7);
    }
    const std::string text = writeSRecord(large);
    EXPECT_TRUE(text.find("\nS214000000") != std::string::npos);
    EXPECT_TRUE(text.ends_with("\nS5031001EB\nS804000000FB\n")) << text.substr(text.size() - 40);
    EXPECT_EQ(image(readImage(kSRecord, text, false, false)), large);
}

TEST(ElfRead, RefusesFilesItCannotUse) {
    const std::string elf = fixture("avr-blink.elf");
    // Offsets in the fixture: e_shoff at 32, e_shnum at 48, the first program header's
    // p_filesz at 68, the .text section's sh_offset at 0x89C.
    const auto patched = [&](std::size_t at, std::string bytes) {
        std::string copy = elf;
        copy.replace(at, bytes.size(), bytes);
        return copy;
    };
    std::string noEeprom = elf;
    noEeprom.replace(noEeprom.find(".eeprom"), 7, ".eepro_");
    const struct {
        std::string file;
        bool avr;
        bool eeprom;
        std::string message;
    } cases[] = {
        {elf.substr(0, 40), true, false, "Soubor ELF má chybnou hlavičku ! "},
        {patched(4, "\x02"), true, false, "Soubor ELF není 32bitový little-endian ! "},
        {patched(18, std::string("\x3e\x00", 2)), true, false,
         "Soubor ELF je pro jinou architekturu než AVR nebo 8051 (e_machine 62) ! "},
        {patched(32, "\xf0\xff\xff\xff"), true, false,
         "Soubor ELF je poškozený: tabulka hlaviček sahá za jeho konec ! "},
        {patched(0x89C, "\xf0\xff\xff\xff"), true, false,
         "Soubor ELF je poškozený: sekce .text sahá za jeho konec ! "},
        {patched(68, "\xff\xff\xff\xff"), true, false,
         "Soubor ELF je poškozený: segment 0 sahá za jeho konec ! "},
        {patched(48, std::string(2, '\0')), true, false, "Soubor ELF nemá tabulku sekcí ! "},
        {elf, false, false, "Soubor ELF je pro AVR, vybraný čip je 8051 ! "},
        {noEeprom, true, true, "Soubor ELF nemá sekci .eeprom s daty pro EEPROM ! "},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(refusal(readImage(kElf, k.file, k.avr, k.eeprom)), k.message) << k.message;
    }
}

}  // namespace
}  // namespace trilo::test
