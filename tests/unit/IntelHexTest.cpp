#include "formats/IntelHex.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace trilo::test {
namespace {

// The image a reader must give: `size` bytes of 0xFF but for the bytes listed.
HexImage imageOf(std::size_t size, const std::vector<std::pair<std::size_t, std::uint8_t>>& bytes) {
    HexImage image(size, 0xFF);
    for (const auto& [address, value] : bytes) {
        image[address] = value;
    }
    return image;
}

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(TRILO_FIXTURES_DIR) + "/intelhex/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

HexImage accepted(const std::string& text) {
    HexReadResult result = readIntelHex(text);
    if (const auto* refusal = std::get_if<HexRefusal>(&result)) {
        ADD_FAILURE() << "refused: " << refusal->message;
        return {};
    }
    return std::get<HexImage>(std::move(result));
}

TEST(IntelHexRead, AcceptsEveryRecordKindAndLayout) {
    const std::vector<std::pair<std::string, HexImage>> cases = {
        {":03000000010203F7\n:00000001FF\n", {1, 2, 3}},
        // A hole, the higher record first.
        {":01000400BB40\n:01000000AA55\n:00000001FF\n", {0xAA, 0xFF, 0xFF, 0xFF, 0xBB}},
        {":02000000abcd86\n:00000001ff\n", {0xAB, 0xCD}},
        {":010000005AA5\r\n:00000001FF\r\n", {0x5A}},
        {":010000005AA5\n:00000001FF", {0x5A}},
        {"\n:0100000042BD\n\n:00000001FF\n\n\r\n", {0x42}},
        {":0400000300001234B3\n:0400000500001234B1\n:0100000042BD\n:00000001FF\n", {0x42}},
        {":020000000102FB\n:020001000203F8\n:00000001FF\n", {1, 2, 3}},
        {":00000001FF\n", {}},
        {":020000021000EC\n:010002007786\n:00000001FF\n", imageOf(0x10003, {{0x10002, 0x77}})},
        // A segment address wraps within its segment; a linear one runs on.
        {":020000020001FB\n:02FFFF000102FD\n:00000001FF\n",
         imageOf(0x10010, {{0x1000F, 0x01}, {0x10, 0x02}})},
        {":02FFFF000102FD\n:00000001FF\n", imageOf(0x10001, {{0xFFFF, 0x01}, {0x10000, 0x02}})},
        {":020000040001F9\n:010010009956\n:00000001FF\n", imageOf(0x10011, {{0x10010, 0x99}})},
        {":02000004000FEB\n:01FFFF005AA7\n:00000001FF\n", imageOf(0x100000, {{0xFFFFF, 0x5A}})},
    };
    for (const auto& [text, image] : cases) {
        EXPECT_EQ(accepted(text), image) << text;
    }
}

TEST(IntelHexRead, RefusesInvalidFilesNamingTheLine) {
    const std::string malformed = "Chybný záznam na řádku 2 souboru HEX ! ";
    const std::vector<std::tuple<std::string, std::size_t, std::string>> cases = {
        {":0100000001FE\n:0100010002FD\n:00000001FF\n", 2,
         "Chybný kontrolní součet na řádku 2 souboru HEX ! "},
        {":0100000001FE\n0100010002FC\n:00000001FF\n", 2, malformed},
        {":0100000001FE\n:010000001GED\n:00000001FF\n", 2, malformed},
        {":0100000001FE\n:02000000AA55\n:00000001FF\n", 2, malformed},
        {":0100000001FE\n:0100000100FE\n", 2, malformed},
        {":0100000001FE\n:0100000400FB\n:00000001FF\n", 2, malformed},
        {":0100000001FE\n:020000050000F9\n:00000001FF\n", 2, malformed},
        {":0100000001FE\n:00000006FA\n:00000001FF\n", 2,
         "Neznámý typ záznamu 06 na řádku 2 souboru HEX ! "},
        {":0100000001FE\n:0100010002FC\n\n", 2,
         "Soubor HEX končí na řádku 2 bez záznamu konce souboru ! "},
        {":020000000102FB\n:0100010003FB\n:00000001FF\n", 2,
         "Adresa 0x0001 dostává jinou hodnotu než dříve na řádku 2 souboru HEX ! "},
        {":020000040010EA\n:0100000001FE\n:00000001FF\n", 2,
         "Adresa 0x100000 je za hranicí 1 MiB na řádku 2 souboru HEX ! "},
        {":02000004000FEB\n:02FFFF000102FD\n:00000001FF\n", 2,
         "Adresa 0x100000 je za hranicí 1 MiB na řádku 2 souboru HEX ! "},
        {":00000001FF\n:0100000001FE\n", 2,
         "Data za záznamem konce souboru na řádku 2 souboru HEX ! "},
    };
    for (const auto& [text, line, message] : cases) {
        const HexReadResult result = readIntelHex(text);
        const auto* refusal = std::get_if<HexRefusal>(&result);
        ASSERT_NE(refusal, nullptr) << text;
        EXPECT_EQ(refusal->line, line) << text;
        EXPECT_EQ(refusal->message, message) << text;
    }
}

// The toolchain's binary holds each word low byte first; the program's flash image holds it
// high byte first (offset 2w the high byte, 2w+1 the low byte).
TEST(IntelHexFixtures, AvrHexSwappedHoldsTheToolchainWordsHighByteFirst) {
    const std::string binary = fixture("avr-blink.bin");
    HexImage image = accepted(fixture("avr-blink.hex"));
    ASSERT_EQ(image, HexImage(binary.begin(), binary.end()));

    swapWordBytes(image);
    for (std::size_t w = 0; w < image.size() / 2; ++w) {
        const unsigned toolchain = static_cast<std::uint8_t>(binary[2 * w]) |
                                   static_cast<std::uint8_t>(binary[2 * w + 1]) << 8;
        const unsigned stored = image[2 * w] << 8 | image[2 * w + 1];
        ASSERT_EQ(stored, toolchain) << "word " << w;
    }
    // The reset vector is an RJMP, opcode 0xCkkk: its 0xC must come first.
    EXPECT_EQ(image[0] & 0xF0, 0xC0);
}

TEST(IntelHexFixtures, SdccIhxEqualsItsBinary) {
    const std::string binary = fixture("mcs51-blink.bin");
    EXPECT_EQ(accepted(fixture("mcs51-blink.ihx")), HexImage(binary.begin(), binary.end()));
}

TEST(IntelHexWrite, SixteenBytesARecordAndAnEndOfFile) {
    HexImage image(17);
    std::iota(image.begin(), image.end(), 0);
    EXPECT_EQ(writeIntelHex(image),
              ":10000000000102030405060708090A0B0C0D0E0F78\n:0100100010DF\n:00000001FF\n");
    EXPECT_EQ(writeIntelHex({}), ":00000001FF\n");
}

TEST(IntelHexWrite, BeyondSixtyFourKiBRoundTripsWithExtendedAddresses) {
    HexImage image(0x20011);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 16));
    }
    const std::string text = writeIntelHex(image);
    EXPECT_EQ(accepted(text), image);
    // A full data record takes 44 characters, an address record 16, the last one-byte record
    // 14 and the end of file 12: an extended linear address record before 0x10000 and 0x20000.
    constexpr std::size_t kFull = 44;
    EXPECT_EQ(text.size(), 0x2001 * kFull + 2 * 16 + 14 + 12);
    EXPECT_EQ(text.substr(0x1000 * kFull, 16 + 9), ":020000040001F9\n:10000000");
    EXPECT_EQ(text.substr(0x2000 * kFull + 16, 16 + 9), ":020000040002F8\n:10000000");
}

TEST(IntelHexWords, SwapsEachPairAndPadsAnOddLastByteWithTheErasedValue) {
    const std::vector<std::pair<HexImage, HexImage>> cases = {
        {{}, {}},
        {{0x01, 0x02, 0x03, 0x04}, {0x02, 0x01, 0x04, 0x03}},
        {{0x01, 0x02, 0x03}, {0x02, 0x01, 0xFF, 0x03}},
    };
    for (auto [image, swapped] : cases) {
        swapWordBytes(image);
        EXPECT_EQ(image, swapped);
    }
}

}  // namespace
}  // namespace trilo::test
