// What the window shows is what the unit it selected reported: the text of a failed read.
#include "KivoSoft/monitor/tests/monitor_fixture.h"

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::unitsim::Fault;

namespace {

namespace G = KivoGlobals;

using Data = MonitorTest;

TEST_F(Data, AReadFailedByTheUnitsErrorBitNamesThisUnitAndIsLogged)
{
    const QString reason = "Unit 3 reports an error in its global status byte";
    struct Case {
        const char* before;
        int earlierUnit; // selected first; 0: none since the program started
    };
    for (const Case& c : {Case{"right after the start", 0}, Case{"after unit 7 failed", 7}}) {
        SCOPED_TRACE(c.before);
        G::LastErrorText.clear();
        if (c.earlierUnit != 0) {
            select(c.earlierUnit);
            requests(false);
        }
        sim().bus().unit(3)->status.error = true;
        QFile::remove(G::ErrorLogPath);
        desktop.clear();

        select(3);

        EXPECT_EQ(messageTexts(),
                  QStringList{reason + " for details check file " + G::ErrorLogPath});
        EXPECT_EQ(logMessages(), QStringList{reason});
        EXPECT_FALSE(G::UnitSelected);
        EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
        sim().bus().unit(3)->status.error = false;
    }
    EXPECT_TRUE(portFree());
}

} // namespace
