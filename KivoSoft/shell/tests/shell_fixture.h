// What the shell's tests share: the model's fixture program folder (globals reset, desktop effects
// recorded) with a registry of its own, byte-exact file helpers, and helpers that drive modal
// windows.
#pragma once

#include "tests/support/access.h"
#include "tests/support/eventually.h"
#include "tests/support/modal.h"

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/shell/Forms.h"
#include "platform/automation/activation.h"
#include "platform/automation/dispatch.h"
#include "platform/automation/tests/test_support.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace KivoSoft::testing {

inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

using kivo::testsupport::eventually;

using kivo::testsupport::accessibleName;
using kivo::testsupport::tabWalk;
using kivo::testsupport::whenModalShows;

// Chooses a menu item as a click or a screen reader does. Its command runs once the choosing has
// returned, so this lets it run, modal windows and all.
inline void choose(QAction* item)
{
    item->trigger();
    QCoreApplication::processEvents();
}

// A stand-in for the link object that counts its live instances, so a test sees it released.
class CountedLink final : public kivo::automation::DispatchObject {
public:
    static inline int live = 0;
    static inline const char* const Version = "KivoX test link 9.99";

    using DispatchObject::DispatchObject;

    // The link as the program holds it: DeviceLink keeps the only reference.
    static kivo::automation::ComPtr<kivo::automation::IDispatch> create()
    {
        auto* object = new CountedLink(kivo::automation::ObjectContext{});
        kivo::automation::IUnknown* inner = object->innerUnknown();
        inner->AddRef();
        void* dispatch = nullptr;
        object->QueryInterface(kivo::automation::IID_IDispatch, &dispatch);
        inner->Release();
        return kivo::automation::ComPtr<kivo::automation::IDispatch>::attach(
            static_cast<kivo::automation::IDispatch*>(dispatch));
    }

    kivo::automation::HRESULT WhoAmI(kivo::automation::Retval<kivo::automation::BSTR> version)
    {
        return kivo::automation::assignString(version.get(), Version);
    }

protected:
    explicit CountedLink(const kivo::automation::ObjectContext& context) : DispatchObject(context)
    {
        ++live;
    }
    ~CountedLink() override { --live; }

    const kivo::automation::InterfaceInfo& interfaceInfo() const override
    {
        static const kivo::automation::InterfaceInfo info(
            "ICountedLink", kivo::automation::guid("{3E0B51A4-7C52-4C39-9E0D-51F2A7C0B001}"),
            {KIVO_DISPATCH_METHOD(CountedLink, WhoAmI, 1)});
        return info;
    }
};

// The model's program folder with a registry of the test's own, and the shell's windows deleted
// after each case.
class ShellTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        KivoGlobals::DeviceLink.reset();
        KivoGlobals::GuiIniPath = path("KivoGui.ini");
    }

    void TearDown() override
    {
        Forms::deleteAll();
        KivoGlobals::DeviceLink.reset();
        ProgramFolderTest::TearDown();
    }

    // libKivoX.so registered in the test's registry, as kivo-regsvr registers it.
    static void registerLinkLibrary()
    {
        std::string why;
        ASSERT_EQ(kivo::automation::registerServerLibrary(KIVOX_LIBRARY, false, &why),
                  kivo::automation::S_OK)
            << why;
    }

    // A lock name no other test uses, so the cases can run side by side.
    static QString uniqueInstanceName()
    {
        return QStringLiteral("kivo-shell-test-") +
               QUuid::createUuid().toString(QUuid::WithoutBraces);
    }

    QString registryPath() const { return QString::fromStdString(registry.path()); }

    kivo::automation::testing::TempRegistry registry;
};

} // namespace KivoSoft::testing
