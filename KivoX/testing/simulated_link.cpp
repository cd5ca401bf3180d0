#include "KivoX/testing/simulated_link.h"

#include "platform/automation/activation.h"

#include <gtest/gtest.h>

namespace kivox::testing {

using namespace kivo::automation;

SimulatedLink::SimulatedLink(kivo::unitsim::Bus bus, kivo::unitsim::ServerOptions options)
    : bus_(std::make_unique<kivo::unitsim::Bus>(std::move(bus))),
      server_(std::make_unique<kivo::unitsim::PtyServer>(*bus_, options))
{
    std::string message;
    const HRESULT hr = registerServerLibrary(libraryPath(), false, &message);
    EXPECT_EQ(hr, S_OK) << message;
}

SimulatedLink::~SimulatedLink() = default;

ComPtr<IDispatch> SimulatedLink::create(std::string_view progId) const
{
    HRESULT hr = S_OK;
    std::string message;
    ComPtr<IDispatch> link = createObject(progId, &hr, &message);
    EXPECT_EQ(hr, S_OK) << message;
    return link;
}

std::string SimulatedLink::libraryPath()
{
    return KIVOX_LIBRARY;
}

} // namespace kivox::testing
