#include "tools/unitsim/faults.h"

#include <algorithm>

namespace kivo::unitsim {

namespace {

bool hasRegister(std::uint8_t cid)
{
    return cid == cid::kReadByte || cid == cid::kWriteByte || cid == cid::kReadWord ||
           cid == cid::kWriteWord;
}

bool matches(const Fault& f, const Bytes& request)
{
    if (request.size() < kMinFrame)
        return false;
    if ((f.uid && *f.uid != request[1]) || (f.mid && *f.mid != request[2]) ||
        (f.cid && *f.cid != request[3]))
        return false;
    if (f.reg && !(hasRegister(request[3]) && request.size() > kMinFrame && *f.reg == request[4]))
        return false;
    return true;
}

void resealCrc(Bytes& frame)
{
    frame.back() = crc8(std::span(frame).first(frame.size() - 1));
}

Bytes withField(Bytes frame, std::size_t index)
{
    frame[index] = static_cast<std::uint8_t>(frame[index] + 1);
    resealCrc(frame);
    return frame;
}

// Draws in [0, n) from the raw generator, the same on every platform.
std::size_t draw(std::mt19937& random, std::size_t n)
{
    return n == 0 ? 0 : random() % n;
}

std::uint8_t drawByte(std::mt19937& random)
{
    return static_cast<std::uint8_t>(random() & 0xFF);
}

// How much of the reply a late tail lets go first.
std::size_t headLength(const Bytes& reply, const Fault& f)
{
    return std::min(reply.size(), f.bytes > 0 ? std::size_t(f.bytes) : reply.size() / 2);
}

Bytes alter(const Bytes& reply, const Fault& f, std::mt19937& random)
{
    switch (f.kind) {
    case Fault::NoReply:
        return {};
    case Fault::BadCrc: {
        Bytes out = reply;
        out.back() ^= 0xFF;
        return out;
    }
    case Fault::WrongUid:
        return withField(reply, 1);
    case Fault::WrongMid:
        return withField(reply, 2);
    case Fault::WrongCid:
        return withField(reply, 3);
    case Fault::ErrorReply:
        return pack({reply[1], reply[2], cid::kError, {}});
    case Fault::WrongLength: {
        Frame fr = unpack(reply);
        const int change = f.bytes == 0 ? 1 : f.bytes;
        if (change > 0)
            fr.data.insert(fr.data.end(), static_cast<std::size_t>(change), 0x00);
        else
            fr.data.resize(fr.data.size() - std::min(fr.data.size(), std::size_t(-change)));
        return pack(fr);
    }
    case Fault::WrongLenByte:
        return withField(reply, 0);
    case Fault::Truncated: {
        const std::size_t keep = f.bytes > 0 ? std::size_t(f.bytes) : reply.size() - 1;
        return Bytes(reply.begin(), reply.begin() + std::min(keep, reply.size()));
    }
    case Fault::ExtraBytes: {
        Bytes out = reply;
        out.insert(out.end(), f.bytes > 0 ? std::size_t(f.bytes) : 1, 0x00);
        return out;
    }
    case Fault::Delay:
        return reply;
    case Fault::RandomReply:
        return randomReply(reply, random);
    case Fault::RepeatedReply:
        return reply;
    case Fault::LateTail:
        return Bytes(reply.begin(),
                     reply.begin() + static_cast<std::ptrdiff_t>(headLength(reply, f)));
    }
    return reply;
}

} // namespace

Bytes randomReply(const Bytes& reply, std::mt19937& random)
{
    Bytes out;
    switch (draw(random, 5)) {
    case 0: // noise
        out.resize(1 + draw(random, 16));
        for (auto& b : out)
            b = drawByte(random);
        break;
    case 1: { // one byte changed
        out = reply;
        const std::size_t at = draw(random, out.size());
        out[at] = static_cast<std::uint8_t>(out[at] ^ (1 + draw(random, 255)));
        break;
    }
    case 2: // cut short
        out.assign(reply.begin(), reply.begin() + 1 + draw(random, reply.size() - 1));
        break;
    case 3: // more bytes after it
        out = reply;
        for (std::size_t n = 1 + draw(random, 8); n > 0; --n)
            out.push_back(drawByte(random));
        break;
    default: { // well formed, but of another length
        Frame fr = unpack(reply);
        const std::size_t count = fr.data.size();
        std::size_t other = draw(random, 7);
        if (other >= count)
            ++other;
        fr.data.resize(other);
        for (std::size_t i = count; i < other; ++i)
            fr.data[i] = drawByte(random);
        out = pack(fr);
        break;
    }
    }
    return out;
}

void Faults::add(const Fault& fault)
{
    std::lock_guard lock(mutex_);
    entries_.push_back({fault, fault.times, std::mt19937(fault.seed)});
}

void Faults::clear()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
}

std::size_t Faults::active() const
{
    std::lock_guard lock(mutex_);
    return std::count_if(entries_.begin(), entries_.end(),
                         [](const Entry& e) { return e.left != 0; });
}

Outcome Faults::apply(const Bytes& request, const Bytes& reply)
{
    std::lock_guard lock(mutex_);
    for (auto& e : entries_) {
        if (e.left == 0 || !matches(e.fault, request))
            continue;
        if (e.left > 0)
            --e.left;
        Outcome o;
        o.bytes = alter(reply, e.fault, e.random);
        o.delayMs = e.fault.kind == Fault::Delay ? e.fault.delayMs : 0;
        if (e.fault.kind == Fault::RepeatedReply) {
            o.later = reply;
        } else if (e.fault.kind == Fault::LateTail) {
            o.later.assign(reply.begin() + static_cast<std::ptrdiff_t>(o.bytes.size()),
                           reply.end());
        }
        o.laterDelayMs = o.later.empty() ? 0 : e.fault.delayMs;
        return o;
    }
    return {reply, 0};
}

} // namespace kivo::unitsim
