// monitor-bench [--idle-seconds N] [--rts MS]
//
// Figures of the monitor window against unit 3 of the simulated bus, replies paced at 9600 baud,
// through the link object as the program calls it (late bound by name):
//   1. the selection and the refresh of unit 3: the exchanges each makes (they must be the
//      sequences' own, no extra read) and the time each takes beside the time the protocol
//      mandates for those exchanges (their frames on the wire, the RTS delay and the 100 ms pause
//      of every attempt);
//   2. the window's CPU time while idle and while in monitor mode between two logging ticks, as a
//      share of one core (bound: under 2 %).
// Exit status 0 when every figure is within its bound.
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoX/kivo.h"
#include "KivoX/transport.h"
#include "platform/desktop/recording_desktop.h"
#include "tools/unitsim/unitsim.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

#include <time.h>

using namespace KivoSoft;
namespace G = KivoSoft::KivoGlobals;

namespace {

constexpr double kPauseMs = 100;
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // start bit, 8 data bits, stop bit
// What the selection and the refresh of unit 3 (modules in slots 1, 3 and 5) send: the full
// read (43), the refresh's quick read (22), its output states (1), and then the turn-on delays
// after a selection (3) or the operating hours otherwise (3).
constexpr int kSelectionExchanges = 43 + 22 + 1 + 3;
constexpr int kRefreshExchanges = 22 + 1 + 3;

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double nowMs()
{
    return std::chrono::duration<double, std::milli>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Figure {
    int exchanges = 0;
    double wallMs = 0;
    double wireMs = 0;     // the frames' bytes at 9600 baud
    double mandatedMs = 0; // the RTS delay and the pause of every exchange
};

// Runs `action` and counts and times its exchanges from the simulator's log.
Figure measure(kivo::unitsim::PtyServer& server, const std::function<void()>& action)
{
    server.clearLog();
    const double start = nowMs();
    action();
    Figure f;
    f.wallMs = nowMs() - start;
    double wire = 0;
    for (const kivo::unitsim::LogEntry& entry : server.log()) {
        wire += static_cast<double>(entry.bytes.size()) * kByteMs;
        if (entry.direction == kivo::unitsim::LogEntry::Request) {
            ++f.exchanges;
        }
    }
    f.wireMs = wire;
    f.mandatedMs = f.exchanges * (kivox::rtsToggleInterval() + kPauseMs);
    return f;
}

// The main thread's CPU time while the event loop runs for `seconds`, as a share of one core.
double cpuShare(double seconds)
{
    const double cpuStart = threadCpuMs();
    const double start = nowMs();
    QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QCoreApplication::quit(); });
    QCoreApplication::exec();
    return (threadCpuMs() - cpuStart) / (nowMs() - start);
}

bool report(const char* what, const Figure& f, int expected)
{
    const bool countOk = f.exchanges == expected;
    std::printf("  %s: %d exchanges (the sequences make %d) %s\n", what, f.exchanges, expected,
                countOk ? "ok" : "DIFFERENT");
    // On a pseudo-terminal the request takes no time on the wire, and a paced reply (7 ms at
    // most) has come in full within the RTS delay: the floor is the RTS delay and the pause of
    // each exchange. The frames' own time on a line is shown beside it.
    std::printf(
        "    %.0f ms; the protocol's floor %.0f ms (RTS delay and pause of each): %+.0f ms, "
        "%+.1f ms an exchange; their frames at 9600 baud: %.0f ms\n",
        f.wallMs, f.mandatedMs, f.wallMs - f.mandatedMs,
        f.exchanges ? (f.wallMs - f.mandatedMs) / f.exchanges : 0.0, f.wireMs);
    return countOk;
}

} // namespace

int main(int argc, char** argv)
{
    double idleSeconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--idle-seconds") == 0) {
            idleSeconds = std::max(1.0, std::atof(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--rts") == 0) {
            kivox::setRtsToggleInterval(std::max(0, std::atoi(argv[i + 1])));
        }
    }
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    // A program folder of its own with the shipped INI files; no message box may block.
    QTemporaryDir folder;
    G::setProgramFolder(folder.path());
    G::ScaleIniPath = folder.filePath("scale.ini");
    G::TooltipsIniPath = folder.filePath("Tooltips.ini");
    G::ErrorLogPath = folder.filePath("error.txt");
    QFile::copy(QStringLiteral(KIVO_SOURCE_DIR "/ini/scale.ini"), G::ScaleIniPath);
    QFile::copy(QStringLiteral(KIVO_SOURCE_DIR "/ini/Tooltips.ini"), G::TooltipsIniPath);
    G::DecimalSeparator = QStringLiteral(".");
    G::SysColorDesktop = QString::number(static_cast<std::int32_t>(0x80000001u));
    G::SysColorWindowText = QString::number(static_cast<std::int32_t>(0x80000008u));
    kivo::desktop::RecordingDesktop desktop;
    kivo::desktop::ScopedDesktop installed(desktop);

    kivo::unitsim::Bus bus = kivo::unitsim::Bus::defaultBus();
    kivo::unitsim::PtyServer server(bus, {.pace = true});
    G::DefaultComPort = QString::fromStdString(server.path());
    G::DeviceLink = kivox::Kivo::create(kivo::timing::systemTiming());
    kivo::automation::call(G::DeviceLink, "SetINIParams", std::int16_t{2}, std::int16_t{1});

    MonitorForm form;
    form.show();
    form.UnitList->setCurrentIndex(2);
    std::printf("monitor window, unit 3 (slots 1, 3, 5), replies paced at 9600 baud, "
                "RTSToggleInterval %d ms\n",
                kivox::rtsToggleInterval());
    const Figure selection = measure(server, [&] { form.cmdSelectUnit_Click(); });
    const Figure refresh = measure(server, [&] { form.cmdRefresh_Click(); });
    bool ok = G::UnitSelected && desktop.calls().empty();
    if (!ok) {
        std::fprintf(stderr, "monitor-bench: the selection failed: %s\n",
                     qPrintable(G::LastErrorText));
    }
    ok = report("[1] selection", selection, kSelectionExchanges) && ok;
    ok = report("[1] refresh", refresh, kRefreshExchanges) && ok;

    // The recheck timer of slot 5 (off) would refresh within the idle figure; it has had its
    // turn once the selection is measured.
    for (int k = 1; k <= 5; ++k) {
        form.tmrMod[static_cast<std::size_t>(k)]->stop();
    }
    cpuShare(1); // the window's first paint after the selection
    const double idle = cpuShare(idleSeconds);
    // Monitor mode with a period longer than the measurement: no tick falls inside it.
    form.Combo1->setCurrentIndex(form.Combo1->findText(QStringLiteral("30  Sec.")));
    form.Check1->setChecked(true);
    form.Check1_Click();
    const double monitoring = cpuShare(std::min(idleSeconds, 25.0));
    const bool cpuOk = idle < 0.02 && monitoring < 0.02;
    std::printf("  [2] CPU of one core: idle %.3f %%, monitor mode between ticks %.3f %% "
                "(bound < 2 %%) %s\n",
                idle * 100, monitoring * 100, cpuOk ? "ok" : "OVER");
    form.Check1->setChecked(false);
    form.Check1_Click();
    form.hide();
    G::DeviceLink.reset();
    Forms::deleteAll();
    return ok && cpuOk ? 0 : 1;
}
