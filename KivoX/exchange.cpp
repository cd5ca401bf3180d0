#include "KivoX/exchange.h"

#include "KivoX/transport.h"

#include <vector>

namespace kivox {

using namespace kivo::automation;

bool Link::fail(const char* text)
{
    statusText = text;
    return false;
}

int Link::SendMessage(const Message& request, Message& reply, std::size_t expectedLength)
{
    const std::vector<std::uint8_t> frame = packMessage(request);
    if (!writeABuffer(portHandle.get(), frame.data(), frame.size())) {
        fail(kCmdError);
        return -1;
    }
    std::vector<std::uint8_t> buffer(expectedLength, 0);
    const std::size_t count =
        readABuffer(portHandle.get(), buffer.data(), expectedLength, readTimeout, timing_);
    if (count == 0) {
        fail(kCmdNoResponse);
        return -1;
    }
    if (count != expectedLength || buffer[0] != count) {
        fail(kCmdError);
        return -1;
    }
    reply = Message{};
    unpackMessage(buffer.data(), count, reply);
    return 0;
}

bool Link::CheckMessage(const Message& request, const Message& reply)
{
    if (reply.cid == cid::kError) {
        return fail(kCmdError);
    }
    if (reply.uid != request.uid || reply.mid != request.mid || reply.cid != request.cid) {
        return fail(kCmdError);
    }
    // The frame as it came, rebuilt from the record: its LEN is covered by the CRC too.
    const std::vector<std::uint8_t> frame = packMessage(reply);
    if (frame.back() != reply.crc) {
        return fail(kCmdCrcError);
    }
    return true;
}

bool Link::transactMessage(const Message& request, Message& reply, std::size_t expectedLength)
{
    for (int attempt = 0; attempt < retryCount; ++attempt) {
        const int sent = SendMessage(request, reply, expectedLength);
        timing_.sleepMilliseconds(kAttemptPauseMs);
        if (sent == 0 && CheckMessage(request, reply)) {
            return true;
        }
    }
    return false;
}

HRESULT checkModuleArray(const SafeArray* array)
{
    if (!array || SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 2 ||
        SafeArrayElementCount(array) < 8) {
        return E_FAIL;
    }
    return S_OK;
}

namespace {

// Runs `work` on the first 8 elements with the array checked and locked.
template <class F> HRESULT withElements(SafeArray* array, F work)
{
    HRESULT hr = checkModuleArray(array);
    if (failed(hr)) {
        return hr;
    }
    hr = SafeArrayLock(array);
    if (failed(hr)) {
        return hr;
    }
    work(static_cast<std::int16_t*>(array->pvData));
    return SafeArrayUnlock(array);
}

} // namespace

HRESULT bitsToArray(SafeArray* array, std::uint8_t byte)
{
    return withElements(array, [byte](std::int16_t* elements) {
        for (int i = 0; i < 8; ++i) {
            elements[i] = (byte >> i) & 1;
        }
    });
}

HRESULT arrayToBits(SafeArray* array, std::uint8_t& byte)
{
    return withElements(array, [&byte](const std::int16_t* elements) {
        for (int i = 0; i < 8; ++i) {
            // A caller's True (-1) means the bit, not all the bits from it upwards.
            if (elements[i] != 0) {
                byte = static_cast<std::uint8_t>(byte | (1 << i));
            }
        }
    });
}

} // namespace kivox
