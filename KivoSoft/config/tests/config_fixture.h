// What the configuration window's tests share: the model's fixture program folder with the
// shipped INI files, the real link library on a simulated bus with every call written down, and
// one window whose controls a unit read writes into.
#pragma once

#include "KivoSoft/config/SupplyConfig.h"
#include "KivoSoft/config/tests/recording_link.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoX/testing/simulated_link.h"

#include <QFile>

#include <memory>

namespace KivoSoft::testing {

using kivo::desktop::DesktopCall;
using kivo::unitsim::Bus;
using kivo::unitsim::Fault;

// Gives the window's configuration side to the unit reads.
class WindowUnitWindows : public ConfigUnitWindows {
public:
    explicit WindowUnitWindows(SupplyConfig*& window)
        : ConfigUnitWindows([&window]() -> SupplyConfig& { return *window; })
    {
    }
};

class ConfigTest : public ProgramFolderTest {
protected:
    // The bus the test's simulator serves: by default the default bus, whose unit 3 (modules in
    // slots 1, 3 and 5) has the start-up defaults it ships with, so its modules are read and
    // shown.
    virtual Bus makeBus() { return Bus::defaultBus(); }

    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        sim = std::make_unique<kivox::testing::SimulatedLink>(makeBus());
        copyShippedScaleIni();
        QFile::remove(path("Tooltips.ini"));
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KIVO_SOURCE_DIR "/ini/Tooltips.ini"), path("Tooltips.ini")));
        write("Kivo.ini", "[Serial COM Parameters]\nReadTimeout=1\nRetryCount=1\n");
        write("KivoGui.ini", "[PARAMS]\nport=" + QString::fromStdString(sim->port()) + "\n");
        ASSERT_TRUE(KivoGlobals::InitializeGlobals());
        ASSERT_TRUE(desktop.calls().empty());
        KivoGlobals::DeviceLink =
            RecordingLink::wrap(KivoGlobals::DeviceLink, ops, [this](const QString& operation) {
                if (beforeCall) {
                    beforeCall(operation);
                }
            });
        owned = std::make_unique<SupplyConfig>();
        window = owned.get();
        window->Form_Load();
    }

    void TearDown() override
    {
        owned.reset();
        window = nullptr;
        KivoGlobals::DeviceLink.reset();
        Forms::deleteAll();
        sim.reset();
        ProgramFolderTest::TearDown();
    }

    // Reads `unit` as the user does: picked in the list, then Start.
    void readUnit(const QString& unit)
    {
        window->UnitList->setCurrentText(unit);
        window->SelectButton_Click();
    }

    // The operations sent since the last call, without the port's opening and closing.
    QStringList takeOps() { return takeOperations(*ops); }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const DesktopCall& call : messages()) {
            texts << call.text;
        }
        return texts;
    }

    kivo::unitsim::Module module(int unit, int slot) { return sim->bus().unit(unit)->module(slot); }

    std::unique_ptr<kivox::testing::SimulatedLink> sim;
    std::shared_ptr<QStringList> ops = std::make_shared<QStringList>();
    std::function<void(const QString&)> beforeCall;
    std::unique_ptr<SupplyConfig> owned;
    SupplyConfig* window = nullptr;
    WindowUnitWindows windows{window};
    ScopedUnitWindows installedWindows{windows};
};

// The tab showing module m.
inline int tabOf(int m)
{
    return 5 - m;
}

} // namespace KivoSoft::testing
