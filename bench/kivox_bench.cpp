// kivox-bench [--exchanges N] [--memory-exchanges N] [--rts MS]
//
// Three figures of one exchange of the link object with a simulated unit, through the object as a
// program calls it (late bound by name), at RTS delays of 0, 3 and 10 ms (or at --rts MS alone):
//   1. the median wall time beyond the floor the protocol sets on this line (replies paced at
//      9600 baud on a pseudo-terminal, see exchangeFloorMs);
//   2. the median CPU time of the calling thread: only the RTS delay may spin;
//   3. the growth of heap and resident memory over 10,000 exchanges. Waiting plays no part in
//      that, so this run uses a timing that does not wait and a simulator that does not pace.
// Exit status 0 when every figure is within its bound: the first one is bound (1 ms) at the
// default RTS delay of 10 ms.
#include "KivoX/kivo.h"
#include "KivoX/transport.h"

#include "platform/automation/call.h"
#include "tools/unitsim/unitsim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <malloc.h>
#include <time.h>
#include <unistd.h>

using namespace kivo::automation;

namespace {

constexpr double kPauseMs = 100;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // start bit, 8 data bits, stop bit
constexpr std::size_t kReplyBytes = 6;             // GetUnitID: LEN UID MID CID value CRC
constexpr double kReplyWireMs = kReplyBytes * kByteMs;
constexpr double kDefaultRtsMs = 10;
constexpr double kBeyondFloorBoundMs = 1;

// The least time one exchange can take on the benchmark's line. On a pseudo-terminal the request
// takes no time on the wire, so the unit starts its reply as the RTS delay starts; the reply's
// wire time runs during the delay, and only what is left of it when the delay ends is waited
// for. Then comes the pause after every attempt.
constexpr double exchangeFloorMs(double rtsMs, double replyWireMs)
{
    const double afterRts = replyWireMs > rtsMs ? replyWireMs - rtsMs : 0;
    return rtsMs + afterRts + kPauseMs;
}
static_assert(exchangeFloorMs(10, 6.25) == 110, "a reply shorter than the delay costs nothing");
static_assert(exchangeFloorMs(3, 6.25) == 106.25, "the rest of a longer one is waited for");
static_assert(exchangeFloorMs(0, 6.25) == 106.25, "without a delay, all of it");

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

long residentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

class NoWait final : public kivo::timing::Timing {
public:
    kivo::timing::Clock::time_point now() override { return kivo::timing::Clock::now(); }
    void spinMilliseconds(double) override {}
    void sleepMilliseconds(double) override {}
};

// One exchange as a program makes it; false (and why on stderr) unless it passed.
bool exchange(IDispatch* link)
{
    std::int16_t id = 0;
    const CallResult r = call(link, "GetUnitID", std::int16_t{3}, byRef(id));
    if (r.status == "CMD_OK" && id == 3) {
        return true;
    }
    std::fprintf(stderr, "kivox-bench: %s %s\n", r.status.c_str(), r.error.c_str());
    return false;
}

ComPtr<IDispatch> openLink(kivo::unitsim::PtyServer& server, kivo::timing::Timing& timing)
{
    ComPtr<IDispatch> link = kivox::Kivo::create(timing);
    if (call(link, "OpenPort", server.path()).status != "CMD_OK" ||
        !call(link, "SetINIParams", std::int16_t{2}, std::int16_t{1}).ok()) {
        std::fprintf(stderr, "kivox-bench: cannot open %s\n", server.path().c_str());
        std::exit(2);
    }
    return link;
}

std::string cpuModel()
{
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("model name", 0) == 0) {
            return line.substr(line.find(':') + 2);
        }
    }
    return "unknown";
}

// The paced exchanges at one RTS delay.
struct PacedRun {
    double rtsMs = 0;
    double floorMs = 0;
    double medianWallMs = 0;
    double minWallMs = 0;
    double maxWallMs = 0;
    double medianCpuMs = 0;
    int failures = 0;
    bool wallOk = true;
    bool cpuOk = true;
};

PacedRun pacedRun(kivo::unitsim::Bus& bus, int rtsMs, int exchanges)
{
    // In place of the RTSToggleInterval a program would read from ./Kivo.ini.
    kivox::setRtsToggleInterval(rtsMs);
    PacedRun run;
    run.rtsMs = rtsMs;
    run.floorMs = exchangeFloorMs(rtsMs, kReplyWireMs);
    std::vector<double> wall;
    std::vector<double> cpu;
    kivo::unitsim::PtyServer server(bus, {.pace = true, .logLimit = 0});
    ComPtr<IDispatch> link = openLink(server, kivo::timing::systemTiming());
    exchange(link.get()); // the first one warms caches and the simulator's thread
    for (int i = 0; i < exchanges; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = threadCpuMs();
        // A failed one is counted and left out: its time is not that of an exchange.
        if (!exchange(link.get())) {
            ++run.failures;
            continue;
        }
        cpu.push_back(threadCpuMs() - cpuStart);
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    if (wall.empty()) {
        std::fprintf(stderr, "kivox-bench: every exchange failed\n");
        std::exit(2);
    }
    run.medianWallMs = median(wall);
    run.minWallMs = *std::min_element(wall.begin(), wall.end());
    run.maxWallMs = *std::max_element(wall.begin(), wall.end());
    run.medianCpuMs = median(cpu);
    run.wallOk = rtsMs != kDefaultRtsMs || run.medianWallMs - run.floorMs <= kBeyondFloorBoundMs;
    run.cpuOk = run.medianCpuMs <= rtsMs + 1.0;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    int exchanges = 300;
    int memoryExchanges = 10000;
    std::vector<int> delays = {0, 3, static_cast<int>(kDefaultRtsMs)};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--exchanges") == 0) {
            exchanges = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--memory-exchanges") == 0) {
            memoryExchanges = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--rts") == 0) {
            delays = {std::max(0, std::atoi(argv[i + 1]))};
        }
    }
    std::printf("machine: %ld processors, %s\n", sysconf(_SC_NPROCESSORS_ONLN), cpuModel().c_str());

    // --- 1 and 2: real waits, replies paced at 9600 baud
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    std::printf("%d exchanges (GetUnitID by name) per RTS delay, replies paced at 9600 baud "
                "(%.2f ms on the wire)\n",
                exchanges, kReplyWireMs);
    std::printf("floor = RTS delay + the reply's wire time past it + %.0f ms pause\n", kPauseMs);
    bool ok = true;
    for (int rts : delays) {
        const PacedRun run = pacedRun(bus, rts, exchanges);
        std::printf("  RTS %2.0f ms: floor %.2f ms, median %.2f ms (min %.2f, max %.2f)\n",
                    run.rtsMs, run.floorMs, run.medianWallMs, run.minWallMs, run.maxWallMs);
        std::printf("    [1] median time beyond the floor: %+.2f ms%s\n",
                    run.medianWallMs - run.floorMs,
                    run.rtsMs != kDefaultRtsMs ? ""
                    : run.wallOk               ? " (bound <= 1 ms) ok"
                                               : " (bound <= 1 ms) OVER");
        std::printf("    [2] median CPU time %.2f ms (bound <= RTS + 1 = %.0f ms) %s\n",
                    run.medianCpuMs, run.rtsMs + 1.0, run.cpuOk ? "ok" : "OVER");
        if (run.failures > 0) {
            std::printf("    %d exchanges failed and are left out\n", run.failures);
        }
        ok = ok && run.wallOk && run.cpuOk;
    }

    // --- 3: memory, without waits
    NoWait noWait;
    kivo::unitsim::PtyServer server(bus, {.logLimit = 0});
    ComPtr<IDispatch> link = openLink(server, noWait);
    for (int i = 0; i < 1000; ++i) {
        exchange(link.get());
    }
    const std::size_t heapBefore = mallinfo2().uordblks;
    const long residentBefore = residentKiB();
    for (int i = 0; i < memoryExchanges; ++i) {
        if (!exchange(link.get())) {
            std::fprintf(stderr, "kivox-bench: exchange %d of the memory run failed\n", i);
            return 2;
        }
    }
    const long heapGrowth = static_cast<long>(mallinfo2().uordblks) - static_cast<long>(heapBefore);
    const long residentGrowth = residentKiB() - residentBefore;
    const bool memoryOk = heapGrowth <= 0;
    std::printf("  [3] over %d exchanges: heap in use %+ld bytes, resident %+ld KiB (bound: no "
                "growth) %s\n",
                memoryExchanges, heapGrowth, residentGrowth, memoryOk ? "ok" : "GROWS");
    return ok && memoryOk ? 0 : 1;
}
