#include "presenter/HexView.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands/DataFiles.h"
#include "formats/Checksum.h"
#include "support/TestDir.h"

namespace trilo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Memory = commands::BufferContent;

Bytes bytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// Each image against another: the checksums of the first (as a toolchain numbers it), and
// where the two differ. CRC-32 and sums from Python's zlib.crc32 and sum(), not from here.
TEST(HexViewCompare, ChecksumsAndDifferences) {
    Bytes ramp(256);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::uint8_t>(i);
    }
    Bytes rampChanged = ramp;
    rampChanged[0x1A] = 0x00;
    rampChanged[0xFF] = 0x5A;
    const struct {
        const char* name;
        Bytes image;
        Bytes other;
        bool avrFlash;
        std::uint32_t crc;
        std::uint16_t sum;
        std::vector<std::size_t> differences;
    } cases[] = {
        {"empty", {}, {}, false, 0x00000000, 0x0000, {}},
        {"check string",
         bytesOf("123456789"),
         bytesOf("023456788"),
         false,
         0xCBF43926,
         0x01DD,
         {0, 8}},
        {"every byte value", ramp, rampChanged, false, 0x29058C73, 0x7F80, {0x1A, 0xFF}},
        // Only the length both have is compared, as a write of the shorter one would.
        {"erased 2 KiB", Bytes(2048, 0xFF), Bytes(16, 0xFF), false, 0x3F55D17F, 0xF800, {}},
        // High byte first in the program, low byte first for the toolchain: 34 12 FF 56.
        {"AVR words, odd end",
         {0x12, 0x34, 0x56},
         {0x12, 0x34, 0x56},
         true,
         0x5083CE47,
         0x019B,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Checksums sums = checksumsInToolOrder(c.image, c.avrFlash);
        EXPECT_EQ(sums.crc32, c.crc);
        EXPECT_EQ(sums.sum16, c.sum);
        const Differences differences(c.image, c.other);
        EXPECT_EQ(differences.offsets(), c.differences);
        EXPECT_EQ(differences.count(), c.differences.size());
    }
    EXPECT_EQ(describe(checksumsOf(bytesOf("123456789"))), "9 B, CRC-32 0xCBF43926, součet 0x01DD");
}

TEST(HexViewCompare, StepsFromDifferenceToDifference) {
    const Differences d(Bytes{1, 2, 3, 4, 5, 6}, Bytes{0, 2, 0, 4, 5, 0});
    const struct {
        std::size_t from;
        std::optional<std::size_t> next;
        std::optional<std::size_t> previous;
    } steps[] = {{0, 2, std::nullopt}, {2, 5, 0}, {3, 5, 2}, {5, std::nullopt, 2}};
    for (const auto& s : steps) {
        EXPECT_EQ(d.next(s.from), s.next) << s.from;
        EXPECT_EQ(d.previous(s.from), s.previous) << s.from;
    }
    EXPECT_EQ(d.first(), 0U);
    EXPECT_TRUE(d.at(2));
    EXPECT_FALSE(d.at(3));
}

// Every memory size the devices have, the largest the flash size may be set to, and a HEX
// file that reaches past 64 KiB: rows, and the first and last row as shown.
TEST(HexViewRows, RowCountAndTextAtTheEndsOfEachMemory) {
    const std::string first4 =
        "0000  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F  ................";
    const std::string tail = "  F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF  ................";
    const struct {
        std::size_t size;
        std::size_t rows;
        std::string first;
        std::string last;
    } cases[] = {
        {64, 4, first4, "0030  30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F  0123456789:;<=>?"},
        {128, 8, first4, "0070  70 71 72 73 74 75 76 77 78 79 7A 7B 7C 7D 7E 7F  pqrstuvwxyz{|}~."},
        {256, 16, first4, "00F0" + tail},
        {512, 32, first4, "01F0" + tail},
        {1024, 64, first4, "03F0" + tail},
        {2048, 128, first4, "07F0" + tail},
        {4096, 256, first4, "0FF0" + tail},
        {8192, 512, first4, "1FF0" + tail},
        {10240, 640, first4, "27F0" + tail},
        {12288, 768, first4, "2FF0" + tail},
        {20480, 1280, first4, "4FF0" + tail},
        {32768, 2048, first4, "7FF0" + tail},
        {0x10000, 4096, first4, "FFF0" + tail},
        {0x10003, 4097, "0" + first4, "10000  00 01 02" + std::string(41, ' ') + "..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        Bytes image(c.size);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i);
        }
        EXPECT_EQ(rowCount(image.size()), c.rows);
        EXPECT_EQ(rowText(image, 0), c.first);
        EXPECT_EQ(rowText(image, c.rows - 1), c.last);
    }
}

// The file as the write takes it, or why there is none.
TEST(HexViewFile, DecodedAsTheWriteTakesIt) {
    TestDir dir;
    const auto put = [&](const char* name, const std::string& text) {
        dir.write(name, text);
        return dir.file(name);
    };
    const struct {
        const char* name;
        std::string text;
        Memory memory;
        std::variant<Bytes, std::string> want;
    } cases[] = {
        {"odd.bin", "\x12\x34\x56", Memory::AvrFlash, Bytes{0x12, 0x34, 0x56, 0xFF}},
        {"odd-eeprom.bin", "\x12\x34\x56", Memory::AvrEeprom, Bytes{0x12, 0x34, 0x56}},
        {"words.hex", ":0300000012345661\n:00000001FF\n", Memory::AvrFlash,
         Bytes{0x34, 0x12, 0xFF, 0x56}},
        {"bad.hex", ":0300000012345662\n", Memory::Mcs51Flash,
         std::string("Chybný kontrolní součet na řádku 1 souboru HEX ! ")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(commands::inputImage(put(c.name, c.text), c.memory), c.want);
    }
    EXPECT_EQ(commands::inputImage(dir.file("missing.bin"), commands::BufferContent::None),
              commands::InputImage(std::string(kNoInputFile)));
}

}  // namespace
}  // namespace trilo::test
