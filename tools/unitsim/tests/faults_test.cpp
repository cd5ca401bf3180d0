#include "tools/unitsim/faults.h"

#include <gtest/gtest.h>

#include <set>

using namespace kivo::unitsim;

namespace {

const Bytes kRequest = pack({3, 0x1F, cid::kReadByte, {0x01}});
const Bytes kReply = pack({3, 0x1F, cid::kReadByte, {0x0A}});

Bytes resealed(Bytes frame)
{
    frame.back() = crc8(std::span(frame).first(frame.size() - 1));
    return frame;
}

} // namespace

TEST(Faults, EveryKindChangesTheReplyAsDocumented)
{
    struct Case {
        const char* what;
        Fault fault;
        Bytes sent;
    };
    Bytes badCrc = kReply;
    badCrc.back() ^= 0xFF;
    const Case cases[] = {
        {"no reply", {.kind = Fault::NoReply}, {}},
        {"bad CRC", {.kind = Fault::BadCrc}, badCrc},
        {"wrong UID", {.kind = Fault::WrongUid}, resealed({0x06, 0x04, 0x1F, 0x04, 0x0A, 0})},
        {"wrong MID", {.kind = Fault::WrongMid}, resealed({0x06, 0x03, 0x20, 0x04, 0x0A, 0})},
        {"wrong CID", {.kind = Fault::WrongCid}, resealed({0x06, 0x03, 0x1F, 0x05, 0x0A, 0})},
        {"error reply", {.kind = Fault::ErrorReply}, pack({3, 0x1F, cid::kError, {}})},
        {"one byte longer", {.kind = Fault::WrongLength}, pack({3, 0x1F, 0x04, {0x0A, 0x00}})},
        {"two bytes longer",
         {.kind = Fault::WrongLength, .bytes = 2},
         pack({3, 0x1F, 0x04, {0x0A, 0, 0}})},
        {"one byte shorter", {.kind = Fault::WrongLength, .bytes = -1}, pack({3, 0x1F, 0x04, {}})},
        {"wrong LEN byte",
         {.kind = Fault::WrongLenByte},
         resealed({0x07, 0x03, 0x1F, 0x04, 0x0A, 0})},
        {"truncated", {.kind = Fault::Truncated}, Bytes(kReply.begin(), kReply.end() - 1)},
        {"truncated to 2",
         {.kind = Fault::Truncated, .bytes = 2},
         Bytes(kReply.begin(), kReply.begin() + 2)},
        {"extra byte",
         {.kind = Fault::ExtraBytes},
         [] {
             Bytes b = kReply;
             b.push_back(0);
             return b;
         }()},
        {"three extra bytes",
         {.kind = Fault::ExtraBytes, .bytes = 3},
         [] {
             Bytes b = kReply;
             b.insert(b.end(), 3, 0);
             return b;
         }()},
        {"delay", {.kind = Fault::Delay, .delayMs = 250}, kReply},
    };
    for (const auto& c : cases) {
        Faults faults;
        faults.add(c.fault);
        const Outcome out = faults.apply(kRequest, kReply);
        EXPECT_EQ(out.bytes, c.sent) << c.what;
        EXPECT_EQ(out.delayMs, c.fault.kind == Fault::Delay ? 250 : 0) << c.what;
        // Used up: the next request gets the true reply.
        EXPECT_EQ(faults.apply(kRequest, kReply).bytes, kReply) << c.what;
    }
}

TEST(Faults, ARepeatOrALateTailSendsASecondPieceLater)
{
    struct Case {
        const char* what;
        Fault fault;
        Bytes first;
        Bytes later;
    };
    const Case cases[] = {
        {"repeated reply", {.kind = Fault::RepeatedReply, .delayMs = 40}, kReply, kReply},
        {"late tail, half first",
         {.kind = Fault::LateTail, .delayMs = 40},
         Bytes(kReply.begin(), kReply.begin() + 3),
         Bytes(kReply.begin() + 3, kReply.end())},
        {"late tail after 5 bytes",
         {.kind = Fault::LateTail, .delayMs = 40, .bytes = 5},
         Bytes(kReply.begin(), kReply.begin() + 5),
         Bytes(kReply.begin() + 5, kReply.end())},
    };
    for (const auto& c : cases) {
        Faults faults;
        faults.add(c.fault);
        const Outcome out = faults.apply(kRequest, kReply);
        EXPECT_EQ(out.bytes, c.first) << c.what;
        EXPECT_EQ(out.delayMs, 0) << c.what;
        EXPECT_EQ(out.later, c.later) << c.what;
        EXPECT_EQ(out.laterDelayMs, 40) << c.what;
        const Outcome next = faults.apply(kRequest, kReply);
        EXPECT_TRUE(next.later.empty()) << c.what;
        EXPECT_EQ(next.laterDelayMs, 0) << c.what;
    }
}

TEST(Faults, MatchByUidMidCidAndRegister)
{
    struct Case {
        const char* what;
        Fault fault;
        bool matches;
    };
    const Case cases[] = {
        {"any request", {}, true},
        {"its UID", {.uid = 3}, true},
        {"another UID", {.uid = 4}, false},
        {"its MID", {.mid = 0x1F}, true},
        {"another MID", {.mid = 2}, false},
        {"its CID", {.cid = 0x04}, true},
        {"another CID", {.cid = 0x05}, false},
        {"its register", {.uid = 3, .cid = 0x04, .reg = 0x01}, true},
        {"another register", {.reg = 0x04}, false},
    };
    for (const auto& c : cases) {
        Faults faults;
        Fault f = c.fault;
        f.kind = Fault::NoReply;
        faults.add(f);
        EXPECT_EQ(faults.apply(kRequest, kReply).bytes.empty(), c.matches) << c.what;
    }
    // A register names the first data byte only of the register commands.
    Faults faults;
    faults.add({.reg = 0x01, .kind = Fault::NoReply});
    const Bytes groupSwitch = pack({3, 0x00, cid::kSwitchOutput, {0x01, kStateOn}});
    const Bytes ack = pack({3, 0x00, cid::kSwitchOutput, {}});
    EXPECT_EQ(faults.apply(groupSwitch, ack).bytes, ack);
}

TEST(Faults, OnceNTimesOrAlways)
{
    struct Case {
        int times;
        int faulty; // of 10 requests
    };
    for (const auto& c : {Case{1, 1}, Case{3, 3}, Case{Fault::always, 10}, Case{0, 0}}) {
        Faults faults;
        faults.add({.kind = Fault::NoReply, .times = c.times});
        int faulty = 0;
        for (int i = 0; i < 10; ++i)
            faulty += faults.apply(kRequest, kReply).bytes.empty();
        EXPECT_EQ(faulty, c.faulty) << c.times;
        EXPECT_EQ(faults.active(), c.times == Fault::always ? 1u : 0u) << c.times;
    }
}

TEST(Faults, FirstMatchingFaultWithUsesLeftApplies)
{
    Faults faults;
    faults.add({.cid = 0x05, .kind = Fault::ErrorReply});
    faults.add({.uid = 3, .kind = Fault::NoReply, .times = 1});
    faults.add({.uid = 3, .kind = Fault::BadCrc, .times = 1});
    EXPECT_TRUE(faults.apply(kRequest, kReply).bytes.empty());
    EXPECT_FALSE(isValidFrame(faults.apply(kRequest, kReply).bytes));
    EXPECT_EQ(faults.apply(kRequest, kReply).bytes, kReply);
    faults.clear();
    EXPECT_EQ(faults.active(), 0u);
}

TEST(Faults, RandomRepliesAreMalformedAndRepeatTheirSeed)
{
    auto run = [](std::uint32_t seed) {
        Faults faults;
        faults.add({.kind = Fault::RandomReply, .times = Fault::always, .seed = seed});
        std::vector<Bytes> sent;
        for (int i = 0; i < 500; ++i)
            sent.push_back(faults.apply(kRequest, kReply).bytes);
        return sent;
    };
    const auto first = run(7);
    EXPECT_EQ(first, run(7));
    EXPECT_NE(first, run(8));

    std::set<std::size_t> lengths;
    int wellFormedOtherLength = 0;
    for (const auto& b : first) {
        EXPECT_NE(b, kReply);
        EXPECT_FALSE(b.empty());
        lengths.insert(b.size());
        wellFormedOtherLength += isValidFrame(b);
    }
    EXPECT_GT(lengths.size(), 8u) << "lengths vary";
    EXPECT_GT(wellFormedOtherLength, 0) << "some pass the CRC but have the wrong length";
}
