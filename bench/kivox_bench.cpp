// kivox-bench [--exchanges N] [--memory-exchanges N] [--rts MS]
//
// Three figures of one exchange of the link object with a simulated unit, through the object as a
// program calls it (late bound by name):
//   1. the median wall time beyond what the protocol itself mandates: the frames' time on the
//      wire at 9600 baud, the RTS delay and the 100 ms pause (replies paced at 9600 baud);
//   2. the median CPU time of the calling thread: only the RTS delay may spin;
//   3. the growth of heap and resident memory over 10,000 exchanges. Waiting plays no part in
//      that, so this run uses a timing that does not wait and a simulator that does not pace.
// Exit status 0 when every figure is within its bound.
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
constexpr std::size_t kRequestBytes = 6;           // GetUnitID: LEN UID MID CID register CRC
constexpr std::size_t kReplyBytes = 6;

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

} // namespace

int main(int argc, char** argv)
{
    int exchanges = 300;
    int memoryExchanges = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--exchanges") == 0) {
            exchanges = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--memory-exchanges") == 0) {
            memoryExchanges = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--rts") == 0) {
            // In place of the RTSToggleInterval a program would read from ./Kivo.ini.
            kivox::setRtsToggleInterval(std::max(0, std::atoi(argv[i + 1])));
        }
    }
    const double rts = kivox::rtsToggleInterval();
    std::printf("machine: %ld processors, %s\n", sysconf(_SC_NPROCESSORS_ONLN), cpuModel().c_str());

    // --- 1 and 2: real waits, replies paced at 9600 baud
    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    std::vector<double> wall;
    std::vector<double> cpu;
    int failures = 0;
    {
        kivo::unitsim::PtyServer server(bus, {.pace = true, .logLimit = 0});
        ComPtr<IDispatch> link = openLink(server, kivo::timing::systemTiming());
        exchange(link.get()); // the first one warms caches and the simulator's thread
        for (int i = 0; i < exchanges; ++i) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = threadCpuMs();
            // A failed one is counted and left out: its time is not that of an exchange.
            if (!exchange(link.get())) {
                ++failures;
                continue;
            }
            cpu.push_back(threadCpuMs() - cpuStart);
            wall.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
    }
    if (wall.empty()) {
        std::fprintf(stderr, "kivox-bench: every exchange failed\n");
        return 2;
    }
    const double wire = (kRequestBytes + kReplyBytes) * kByteMs;
    const double mandated = wire + rts + kPauseMs;
    const double medianWall = median(wall);
    const double overhead = medianWall - mandated;
    const double medianCpu = median(cpu);
    std::printf("%d exchanges (GetUnitID by name), replies paced at 9600 baud, RTSToggleInterval "
                "%.0f ms\n",
                exchanges, rts);
    if (failures > 0) {
        std::printf("  %d of them failed and are left out\n", failures);
    }
    std::printf("  mandated: wire %.2f ms + RTS %.0f ms + pause %.0f ms = %.2f ms\n", wire, rts,
                kPauseMs, mandated);
    std::printf("  median wall time %.2f ms (min %.2f, max %.2f)\n", medianWall,
                *std::min_element(wall.begin(), wall.end()),
                *std::max_element(wall.begin(), wall.end()));
    const bool wallOk = overhead <= 1.0;
    std::printf("  [1] median time beyond the mandated: %+.2f ms (bound <= 1 ms) %s\n", overhead,
                wallOk ? "ok" : "OVER");
    // On a pseudo-terminal the request takes no time on the wire, and a reply shorter than the
    // RTS delay has come in full before the read begins.
    std::printf(
        "      beyond the RTS delay and the pause alone: %+.2f ms%s\n", medianWall - rts - kPauseMs,
        kReplyBytes * kByteMs <= rts ? " (the paced reply arrives during the RTS delay)" : "");
    const bool cpuOk = medianCpu <= rts + 1.0;
    std::printf("  [2] median CPU time %.2f ms (bound <= RTS + 1 = %.0f ms) %s\n", medianCpu,
                rts + 1.0, cpuOk ? "ok" : "OVER");

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
    return wallOk && cpuOk && memoryOk ? 0 : 1;
}
