// The link object: the one KivoX object the main program talks to the units through.
//
// Every unit operation is called on it late bound, by name, with the automation layer's call():
//
//     std::int16_t type = 0;
//     const QString status = KivoSoft::linkStatus(kivo::automation::call(
//         KivoSoft::KivoGlobals::DeviceLink, "GetModuleType", std::string("3"),
//         std::int16_t(1), kivo::automation::byRef(type)));
//
// The unit goes as its decimal text, which the link's dispatch turns into the 16-bit unit ID.
// The main window releases the object at exit (DeviceLink.reset()).
#pragma once

#include "platform/automation/call.h"

#include <QString>

#include <utility>

namespace KivoSoft {

namespace KivoGlobals {

// The link object; empty until InitializeGlobals created it.
inline kivo::automation::ComPtr<kivo::automation::IDispatch> DeviceLink;

// Its ProgID and the file the registration tool registers.
inline const char* const DeviceLinkProgId = "KivoX.Kivo.1";
inline const QString DeviceLinkLibrary = QStringLiteral("libKivoX.so");

} // namespace KivoGlobals

// The status string of a call on the link. A call that failed as a call (no object, out of
// memory, an argument the link refused) gives the failure's own description, which is never
// "CMD_OK", so callers treat it as any failed operation.
QString linkStatus(const kivo::automation::CallResult& result);

// One call on the link object by name, and its status string.
template <class... Args> QString callLink(const char* operation, Args&&... args)
{
    return linkStatus(
        kivo::automation::call(KivoGlobals::DeviceLink, operation, std::forward<Args>(args)...));
}

} // namespace KivoSoft
