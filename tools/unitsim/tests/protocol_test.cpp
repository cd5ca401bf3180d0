#include "tools/unitsim/protocol.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace kivo::unitsim;

TEST(Crc8, CheckValueOverTheNineDigits)
{
    constexpr std::string_view digits = "123456789";
    const Bytes bytes(digits.begin(), digits.end());
    EXPECT_EQ(crc8(bytes), 0xF4);
}

TEST(Crc8, TableEntries)
{
    const auto& table = crc8Table();
    EXPECT_EQ(table[0x00], 0x00);
    EXPECT_EQ(table[0x01], 0x07);
    EXPECT_EQ(table[0x80], 0x89);
    // Computing a CRC leaves the table as it was.
    const auto before = table;
    crc8(Bytes{1, 2, 3});
    EXPECT_EQ(crc8Table(), before);
}

TEST(Frame, PacksTheWorkedFrames)
{
    struct Case {
        const char* what;
        Frame frame;
        Bytes bytes;
    };
    const Case cases[] = {
        {"switch module 2 of unit 3 on",
         {3, 2, 0x01, {0x1F}},
         {0x06, 0x03, 0x02, 0x01, 0x1F, 0xEF}},
        {"read unit byte register 0x01",
         {3, 0x1F, 0x04, {0x01}},
         {0x06, 0x03, 0x1F, 0x04, 0x01, 0xC7}},
        {"read module-good status", {3, 0x1F, 0x0B, {}}, {0x05, 0x03, 0x1F, 0x0B, 0x56}},
        {"write 0x0001 to word register 0x02",
         {3, 0x1F, 0x14, {0x02, 0x01, 0x00}},
         {0x08, 0x03, 0x1F, 0x14, 0x02, 0x01, 0x00, 0x6F}},
        {"give unit 3 the ID 7",
         {3, 0x1F, 0x05, {0x07, 0x07}},
         {0x07, 0x03, 0x1F, 0x05, 0x07, 0x07, 0x72}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(pack(c.frame), c.bytes) << c.what;
        EXPECT_TRUE(isValidFrame(c.bytes)) << c.what;
        const Frame back = unpack(c.bytes);
        EXPECT_EQ(back.uid, c.frame.uid) << c.what;
        EXPECT_EQ(back.mid, c.frame.mid) << c.what;
        EXPECT_EQ(back.cid, c.frame.cid) << c.what;
        EXPECT_EQ(back.data, c.frame.data) << c.what;
    }
}

TEST(Frame, RejectsWhatIsNotOneWholeFrame)
{
    const Bytes good{0x05, 0x03, 0x1F, 0x0B, 0x56};
    Bytes lenAltered = good;
    lenAltered[0] = 0x06; // the CRC covers LEN
    Bytes lenAlteredResealed = {0x06, 0x03, 0x1F, 0x0B, 0x00};
    lenAlteredResealed[4] = crc8(std::span(lenAlteredResealed).first(4));
    Bytes crcWrong = good;
    crcWrong.back() ^= 1;
    const Bytes tooShort{0x04, 0x03, 0x1F, 0x0B};

    EXPECT_TRUE(isValidFrame(good));
    EXPECT_FALSE(isValidFrame(lenAltered));
    EXPECT_FALSE(isValidFrame(lenAlteredResealed)); // LEN says 6, 5 bytes came
    EXPECT_FALSE(isValidFrame(crcWrong));
    EXPECT_FALSE(isValidFrame(tooShort));
    EXPECT_FALSE(isValidFrame(Bytes(106, 0x6A)));
}

TEST(Frame, WordsTravelLowByteFirst)
{
    Bytes out;
    appendWord(out, 0x0102);
    EXPECT_EQ(out, (Bytes{0x02, 0x01}));
    EXPECT_EQ(joinWord(0x50, 0xC3), 0xC350);
}
