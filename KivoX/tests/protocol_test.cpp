#include "KivoX/protocol.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace kivox;
using Bytes = std::vector<std::uint8_t>;

TEST(Crc8, CheckValueAndTableEntries)
{
    constexpr std::string_view digits = "123456789";
    EXPECT_EQ(Crc8(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()), 0xF4);
    EXPECT_EQ(crc8Table()[0x00], 0x00);
    EXPECT_EQ(crc8Table()[0x01], 0x07);
    EXPECT_EQ(crc8Table()[0x80], 0x89);
    EXPECT_EQ(Crc8(nullptr, 0), 0x00);
}

struct WorkedFrame {
    const char* what;
    Message request;
    Bytes bytes;
};

class WorkedFrames : public ::testing::TestWithParam<WorkedFrame> {};

TEST_P(WorkedFrames, PackByteForByte)
{
    EXPECT_EQ(packMessage(GetParam().request), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Frames, WorkedFrames,
                         ::testing::Values(WorkedFrame{"module 2 of unit 3 on",
                                                       makeMessage(3, 2, 0x01, {0x1F}),
                                                       {0x06, 0x03, 0x02, 0x01, 0x1F, 0xEF}},
                                           WorkedFrame{"unit byte register 1",
                                                       makeMessage(3, 0x1F, 0x04, {0x01}),
                                                       {0x06, 0x03, 0x1F, 0x04, 0x01, 0xC7}},
                                           WorkedFrame{"module-good status",
                                                       makeMessage(3, 0x1F, 0x0B),
                                                       {0x05, 0x03, 0x1F, 0x0B, 0x56}},
                                           WorkedFrame{
                                               "unit word register 2 to 0x0001",
                                               makeMessage(3, 0x1F, 0x14, {0x02, 0x01, 0x00}),
                                               {0x08, 0x03, 0x1F, 0x14, 0x02, 0x01, 0x00, 0x6F}},
                                           WorkedFrame{"unit 3 gets ID 7",
                                                       makeMessage(3, 0x1F, 0x05, {0x07, 0x07}),
                                                       {0x07, 0x03, 0x1F, 0x05, 0x07, 0x07, 0x72}}),
                         [](const auto& info) { return "Frame" + std::to_string(info.index); });

TEST(Frames, RequestWithoutDataIsFiveBytes)
{
    const Bytes frame = packMessage(makeMessage(9, 1, 0x02));
    ASSERT_EQ(frame.size(), 5u);
    EXPECT_EQ(frame[0], 5);
    EXPECT_EQ(frame[4], Crc8(frame.data(), 4));
}

TEST(Frames, CountOutOfRangeIsHeldToTheRecord)
{
    Message big = makeMessage(1, 1, 1);
    big.count = 500;
    EXPECT_EQ(packMessage(big).size(), 105u);
    big.count = -3;
    EXPECT_EQ(packMessage(big).size(), 5u);
}

TEST(Frames, UnpackTakesFieldsDataAndTheLastByteAsCrc)
{
    const Bytes reply{0x08, 0x03, 0x01, 0x0A, 0xB0, 0x04, 0x81, 0x5A};
    Message m;
    unpackMessage(reply.data(), reply.size(), m);
    EXPECT_EQ(m.uid, 3);
    EXPECT_EQ(m.mid, 1);
    EXPECT_EQ(m.cid, 0x0A);
    ASSERT_EQ(m.count, 3);
    EXPECT_EQ(m.data[0], 0xB0);
    EXPECT_EQ(m.data[1], 0x04);
    EXPECT_EQ(m.data[2], 0x81);
    EXPECT_EQ(m.data[3], 0x00);
    EXPECT_EQ(m.crc, 0x5A);
}

TEST(Frames, TheCrcCoversTheLenByte)
{
    Bytes frame = packMessage(makeMessage(3, 0x1F, 0x04, {0x01}));
    frame[0] = 7;
    EXPECT_NE(Crc8(frame.data(), frame.size() - 1), frame.back());
}

TEST(Words, LowByteFirst)
{
    EXPECT_EQ(splitWord(0x0102), std::make_pair(std::uint8_t{0x02}, std::uint8_t{0x01}));
    EXPECT_EQ(joinWord(0x02, 0x01), 0x0102);
    EXPECT_EQ(static_cast<std::int16_t>(joinWord(0xFE, 0xFF)), -2);
    EXPECT_EQ(splitWord(static_cast<std::uint16_t>(50000)),
              std::make_pair(std::uint8_t{0x50}, std::uint8_t{0xC3}));
}
