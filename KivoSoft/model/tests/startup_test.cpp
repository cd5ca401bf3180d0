// The start-up routine where it needs no registered link library: a library that cannot be
// created is reported with the way to register it, and start-up says the program must end.
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/tests/model_fixture.h"

#include <cstdlib>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::vbCritical;

namespace {

class Startup : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        const char* old = std::getenv("KIVO_REGISTRY");
        previousRegistry = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("KIVO_REGISTRY", path("registry").toUtf8().constData(), 1);
    }

    void TearDown() override
    {
        if (previousRegistry) {
            setenv("KIVO_REGISTRY", previousRegistry->c_str(), 1);
        } else {
            unsetenv("KIVO_REGISTRY");
        }
        KivoGlobals::DeviceLink.reset();
        ProgramFolderTest::TearDown();
    }

    std::optional<std::string> previousRegistry;
};

TEST_F(Startup, AnUnregisteredLinkLibraryIsReportedWithHowToRegisterIt)
{
    write("registry", "KIVO REGISTRY 1\nEND\n");
    EXPECT_FALSE(KivoGlobals::InitializeGlobals());

    EXPECT_FALSE(KivoGlobals::DeviceLink);
    ASSERT_EQ(messages().size(), 1u);
    const auto message = messages()[0];
    EXPECT_EQ(message.title, "Kivo");
    EXPECT_EQ(message.style, vbCritical);
    EXPECT_TRUE(message.text.contains("could not be started")) << message.text.toStdString();
    EXPECT_TRUE(message.text.contains("kivo-regsvr " + folder.path() + "/libKivoX.so"))
        << message.text.toStdString();
}

TEST_F(Startup, AMissingLibraryFileIsReportedTheSameWay)
{
    write("registry", "KIVO REGISTRY 1\n"
                      "[HKEY_CLASSES_ROOT\\KivoX.Kivo.1\\CLSID]\n"
                      "@=\"{11111111-2222-3333-4444-555555555555}\"\n"
                      "[HKEY_CLASSES_ROOT\\CLSID\\{11111111-2222-3333-4444-555555555555}\\"
                      "InprocServer32]\n"
                      "@=\"" +
                          path("gone/libKivoX.so") +
                          "\"\n"
                          "END\n");
    EXPECT_FALSE(KivoGlobals::InitializeGlobals());
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].text.contains("kivo-regsvr " + folder.path() + "/libKivoX.so"));
}

} // namespace
