#include "meter/device_info.h"

#include <gtest/gtest.h>

#include <string>

namespace tandrel {
namespace {

// Packs up to sixteen bytes two per word, high byte first, NUL-padded.
std::vector<uint16_t> name_words(const std::string& bytes) {
    std::vector<uint16_t> words(8, 0);
    for (size_t i = 0; i < bytes.size() && i < 16; ++i) {
        const auto b = static_cast<uint8_t>(bytes[i]);
        words[i / 2] = static_cast<uint16_t>(words[i / 2] | (i % 2 == 0 ? b << 8 : b));
    }
    return words;
}

struct NameCase {
    std::string bytes;
    std::string name;
};

const NameCase NAME_CASES[] = {
    {"EM235", "EM235"},
    {"EM235           ", "EM235"},
    {std::string("EM235 \0xyz", 10), "EM235 "},
    {"EM\x01"
     "235",
     "EM235"},
    {"EM\xC3\xA9"
     "235",
     "EM235"},
    {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
    {"  PM335  \x7F      ", "  PM335"},
    {"  PM335  \x7F     ", "  PM335       "},
    {"                ", ""},
    {"", ""},
    {"A\"B\\C~", "A\"B\\C~"},
};

TEST(DecodeModelName, StopsAtNulDropsUnprintableBytesAndTrimsAFullName) {
    for (const NameCase& c : NAME_CASES) {
        EXPECT_EQ(decode_model_name(name_words(c.bytes).data()), c.name) << c.name;
    }
}

TEST(DecodeIdentity, CombinesWordPairsLowWordFirst) {
    std::vector<uint16_t> words(IDENTITY_WORDS, 0);
    words[0] = 0xD687;  // serial 1234567 = 0x0012D687
    words[1] = 0x0012;
    words[2] = 235;
    words[12] = 0x0001;
    words[13] = 0x8000;
    words[20] = 101;
    words[21] = 7;
    words[22] = 9999;
    words[24] = 3;
    words[25] = 65535;
    const std::vector<uint16_t> name = name_words("EM235");
    std::copy(name.begin(), name.end(), words.begin() + 4);
    const DeviceIdentity id = decode_identity(words);
    EXPECT_EQ(id.serial, 1234567u);
    EXPECT_EQ(id.model_id, 235u);
    EXPECT_EQ(id.model_name, "EM235");
    EXPECT_EQ(id.options, 0x80000001u);
    EXPECT_EQ(id.firmware_version, 101);
    EXPECT_EQ(id.firmware_build, 7);
    EXPECT_EQ(id.bootloader_version, 3);
    EXPECT_EQ(id.bootloader_build, 65535);
}

}  // namespace
}  // namespace tandrel
