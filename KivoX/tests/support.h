// What the link library's unit tests share: a timing that never waits, and a link object of the
// core (no library loaded) on a simulated bus with its port open.
#pragma once

#include "KivoX/kivo.h"

#include "platform/automation/call.h"
#include "tools/unitsim/unitsim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kivox::testing {

// Spins and sleeps return at once; each is recorded, and the clock moves on by its length.
class FakeTiming final : public kivo::timing::Timing {
public:
    kivo::timing::Clock::time_point now() override { return now_; }
    void spinMilliseconds(double ms) override
    {
        spins.push_back(ms);
        advance(ms);
        note("spin " + std::to_string(static_cast<int>(ms)));
    }
    void sleepMilliseconds(double ms) override
    {
        sleeps.push_back(ms);
        advance(ms);
        note("sleep " + std::to_string(static_cast<int>(ms)));
        if (onSleep) {
            onSleep();
        }
    }

    std::vector<double> spins;
    std::vector<double> sleeps;
    // When set, every spin and sleep is also written here, in order with other events.
    std::vector<std::string>* events = nullptr;
    // When set, runs in every sleep: what a real pause would have let happen meanwhile.
    std::function<void()> onSleep;

private:
    void advance(double ms)
    {
        if (ms > 0) {
            now_ += std::chrono::duration_cast<kivo::timing::Clock::duration>(
                std::chrono::duration<double, std::milli>(ms));
        }
    }
    void note(const std::string& event)
    {
        if (events) {
            events->push_back(event);
        }
    }
    kivo::timing::Clock::time_point now_{};
};

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kivox-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            ADD_FAILURE() << "mkdtemp failed";
        }
        path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The frame of a message written in a test, LEN and CRC added by the simulator's own packer.
inline kivo::unitsim::Bytes frame(std::uint8_t uid, std::uint8_t mid, std::uint8_t cid,
                                  kivo::unitsim::Bytes data = {})
{
    return kivo::unitsim::pack({uid, mid, cid, std::move(data)});
}

// Long enough for a unit that answers on a loaded machine, short enough that one that does not
// costs little.
inline constexpr std::uint32_t kShortReadTimeoutMs = 250;

// A link object of the core with a timing that never waits, its port open on a simulated bus
// (the default one unless the test changes it before SetUp), and a short read time-out so that
// a unit that does not answer costs little.
class LinkOnBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<kivo::unitsim::PtyServer>(bus);
        link = Kivo::create(timing);
        object = static_cast<Kivo*>(link.get());
        const auto open = kivo::automation::call(link, "OpenPort", server->path());
        ASSERT_EQ(open.status, kCmdOk) << open.error;
        object->link().readTimeout = kShortReadTimeoutMs;
        server->clearLog();
        timing.sleeps.clear();
        timing.spins.clear();
    }

    // SetINIParams by name, then the short read time-out again.
    void setParams(std::int16_t seconds, std::int16_t retries)
    {
        ASSERT_TRUE(kivo::automation::call(link, "SetINIParams", seconds, retries).ok());
        object->link().readTimeout = kShortReadTimeoutMs;
    }

    // The frames on the line since the last clearLog(), one direction.
    std::vector<kivo::unitsim::Bytes>
    sent(kivo::unitsim::LogEntry::Direction direction = kivo::unitsim::LogEntry::Request) const
    {
        std::vector<kivo::unitsim::Bytes> frames;
        for (const auto& entry : server->log()) {
            if (entry.direction == direction) {
                frames.push_back(entry.bytes);
            }
        }
        return frames;
    }
    std::vector<kivo::unitsim::Bytes> replies() const
    {
        return sent(kivo::unitsim::LogEntry::Reply);
    }

    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    std::unique_ptr<kivo::unitsim::PtyServer> server;
    FakeTiming timing;
    kivo::automation::ComPtr<kivo::automation::IDispatch> link;
    Kivo* object = nullptr;
};

} // namespace kivox::testing
