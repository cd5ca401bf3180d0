#include "tools/unitsim/bus.h"

#include "tools/unitsim/module_types.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <stdexcept>
#include <string>

namespace kivo::unitsim {

namespace {

// A module the bus meets for the first time with its output on has been on for longer than any
// turn-on delay.
constexpr auto kLongAgo = std::chrono::milliseconds(65536);

std::uint16_t roundCount(double value)
{
    return static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 32767L));
}

std::int16_t asSigned(std::uint16_t word)
{
    return static_cast<std::int16_t>(word);
}

struct Scale {
    double voltage = 100;
    double current = 100;
};

Scale scaleOf(const Module& m)
{
    if (const ModuleType* t = findModuleType(m.type);
        t && t->voltageScale > 0 && t->currentScale > 0)
        return {t->voltageScale, t->currentScale};
    return {};
}

// The operating point of a live output: volts and amperes into the load.
struct OperatingPoint {
    double volts = 0;
    double amps = 0;
    bool limited = false;
};

OperatingPoint operatingPoint(const Module& m)
{
    const Scale s = scaleOf(m);
    OperatingPoint p;
    p.volts = std::max<int>(asSigned(m.setPoint), 0) / s.voltage;
    if (m.loadOhms <= 0)
        return p;
    p.amps = p.volts / m.loadOhms;
    const double limit = std::max<int>(asSigned(m.currentLimit), 0) / s.current;
    if (p.amps > limit) {
        p.amps = limit;
        p.volts = limit * m.loadOhms;
        p.limited = true;
    }
    return p;
}

bool settled(const Module& m, Clock::time_point now)
{
    if (!m.tracking.known)
        return true;
    return m.tracking.on && now - m.tracking.since >= std::chrono::milliseconds(m.turnOnDelay);
}

void track(Unit& unit, Clock::time_point now)
{
    for (int slot = 1; slot <= 5; ++slot) {
        if (!unit.hasModule(slot))
            continue;
        auto& t = unit.module(slot).tracking;
        const bool live = unit.outputLive(slot);
        if (!t.known) {
            t = {true, live, now - kLongAgo};
        } else if (live && !t.on) {
            t.on = true;
            t.since = now;
        } else if (!live) {
            t.on = false;
        }
    }
}

// --- Registers -------------------------------------------------------------------------------

std::uint8_t* writableUnitByte(Unit& u, std::uint8_t reg)
{
    switch (reg) {
    case 0x01:
        return &u.signalPolarity;
    case 0x04:
        return &u.defaults;
    case 0x07:
        return &u.id;
    default:
        return nullptr;
    }
}

std::optional<std::uint8_t> factoryUnitByte(const Unit& u, std::uint8_t reg)
{
    if (reg == 0xC8)
        return u.presentModules();
    if (reg >= 0xC9 && reg <= 0xCB)
        return static_cast<std::uint8_t>(u.operatingHours >> (8 * (0xCB - reg)));
    if (reg == 0xCC)
        return u.version;
    if (reg >= 0xCD && reg <= 0xD1)
        return u.serial[reg - 0xCD];
    return std::nullopt;
}

std::uint16_t* unitWord(Unit& u, std::uint8_t reg)
{
    switch (reg) {
    case 0x02:
        return &u.masterSlave;
    case 0x05:
        return &u.groupTurnOnDelay;
    default:
        return nullptr;
    }
}

std::uint8_t* writableModuleByte(Module& m, std::uint8_t reg)
{
    switch (reg) {
    case 0x0F:
        return &m.groupId;
    case 0x10:
        return &m.flags;
    default:
        return nullptr;
    }
}

std::optional<std::uint8_t> factoryModuleByte(const Module& m, std::uint8_t reg)
{
    if (reg == 0xCC)
        return m.type;
    if (reg == 0xCD)
        return m.version;
    if (reg >= 0xCE && reg <= 0xD2)
        return m.serial[reg - 0xCE];
    return std::nullopt;
}

std::uint16_t* moduleWord(Module& m, std::uint8_t reg)
{
    switch (reg) {
    case 0x01:
        return &m.defaultVoltage;
    case 0x03:
        return &m.turnOnDelay;
    case 0x05:
        return &m.goodHigh;
    case 0x07:
        return &m.goodLow;
    case 0x09:
        return &m.currentLimit;
    case 0x0B:
        return &m.limitOnTime;
    case 0x0D:
        return &m.limitOffTime;
    default:
        return nullptr;
    }
}

// --- Commands --------------------------------------------------------------------------------

struct Answer {
    bool ok = false;
    Bytes data;
};

Answer refused()
{
    return {};
}

Answer accepted(Bytes data = {})
{
    return {true, std::move(data)};
}

Answer wordAnswer(std::uint16_t value)
{
    Bytes d;
    appendWord(d, value);
    return accepted(std::move(d));
}

std::optional<bool> switchState(std::uint8_t state)
{
    if (state == kStateOn)
        return true;
    if (state == kStateOff)
        return false;
    return std::nullopt;
}

// The byte and word registers of the unit or of one module: the writable ones by address, and
// the factory bytes that can only be read.
struct Registers {
    std::function<std::uint8_t*(std::uint8_t)> byte;
    std::function<std::optional<std::uint8_t>(std::uint8_t)> factoryByte;
    std::function<std::uint16_t*(std::uint8_t)> word;
};

// The register commands; nothing for any other command.
std::optional<Answer> answerRegisters(const Registers& r, const Frame& req)
{
    const Bytes& d = req.data;
    switch (req.cid) {
    case cid::kReadByte:
        if (d.size() == 1) {
            if (const auto* p = r.byte(d[0]))
                return accepted({*p});
            if (const auto v = r.factoryByte(d[0]))
                return accepted({*v});
        }
        return refused();
    case cid::kWriteByte:
        if (d.size() == 2)
            if (auto* p = r.byte(d[0])) {
                *p = d[1];
                return accepted();
            }
        return refused();
    case cid::kReadWord:
        if (d.size() == 1)
            if (const auto* p = r.word(d[0]))
                return wordAnswer(*p);
        return refused();
    case cid::kWriteWord:
        if (d.size() == 3)
            if (auto* p = r.word(d[0])) {
                *p = joinWord(d[1], d[2]);
                return accepted();
            }
        return refused();
    default:
        return std::nullopt;
    }
}

Answer answerUnit(Unit& u, const Frame& req, Clock::time_point now)
{
    // A new unit ID (register 0x07) holds from the next request: the reply echoes the request's.
    const Registers registers{
        [&u](std::uint8_t reg) { return writableUnitByte(u, reg); },
        [&u](std::uint8_t reg) { return factoryUnitByte(u, reg); },
        [&u](std::uint8_t reg) { return unitWord(u, reg); },
    };
    if (auto a = answerRegisters(registers, req))
        return *a;
    const Bytes& d = req.data;
    switch (req.cid) {
    case cid::kOutputStates:
        return d.empty() ? accepted({u.outputStates()}) : refused();
    case cid::kModuleGood:
        return d.empty() ? accepted({u.moduleGood(now)}) : refused();
    case cid::kGlobalStatus:
        return d.empty() ? accepted({u.globalStatus(now)}) : refused();
    case cid::kGlobalOutput:
        return d.empty() ? accepted({u.globalOutputState}) : refused();
    case cid::kGroupState:
        return d.empty() ? accepted({u.groupState}) : refused();
    case cid::kSetGlobalOutput:
        if (d.size() != 1)
            return refused();
        u.globalOutputState = d[0];
        return accepted();
    case cid::kSetGroupState:
        if (d.size() != 1)
            return refused();
        u.groupState = d[0];
        return accepted();
    default:
        return refused();
    }
}

Answer answerModule(Unit& u, int slot, const Frame& req)
{
    if (!u.hasModule(slot))
        return refused();
    Module& m = u.module(slot);
    const Registers registers{
        [&m](std::uint8_t reg) { return writableModuleByte(m, reg); },
        [&m](std::uint8_t reg) { return factoryModuleByte(m, reg); },
        [&m](std::uint8_t reg) { return moduleWord(m, reg); },
    };
    if (auto a = answerRegisters(registers, req))
        return *a;
    const Bytes& d = req.data;
    switch (req.cid) {
    case cid::kSwitchOutput:
        if (d.size() == 1)
            if (auto on = switchState(d[0])) {
                m.outputOn = *on;
                return accepted();
            }
        return refused();
    case cid::kMeasureVoltage:
        return d.empty() ? wordAnswer(u.measuredVoltage(slot)) : refused();
    case cid::kMeasureCurrent:
        return d.empty() ? wordAnswer(u.measuredCurrent(slot)) : refused();
    case cid::kSetSetPoint:
        if (d.size() != 2)
            return refused();
        m.setPoint = joinWord(d[0], d[1]);
        return accepted();
    case cid::kSetPointInputs: {
        if (!d.empty())
            return refused();
        Bytes out;
        appendWord(out, m.setPoint);
        out.push_back(m.controlInputs);
        return accepted(std::move(out));
    }
    default:
        return refused();
    }
}

// A group command reaches every module whose group ID matches, none of them perhaps. The unit
// acknowledges it even while its modules are held off and none of them takes it.
Answer answerGroup(Unit& u, const Frame& req)
{
    const Bytes& d = req.data;
    std::function<void(Module&)> apply;
    if (req.cid == cid::kSwitchOutput && d.size() == 2) {
        const auto on = switchState(d[1]);
        if (!on)
            return refused();
        apply = [on = *on](Module& m) { m.outputOn = on; };
    } else if (req.cid == cid::kSetSetPoint && d.size() == 3) {
        apply = [w = joinWord(d[1], d[2])](Module& m) { m.setPoint = w; };
    } else {
        return refused();
    }
    if (u.modulesInhibited())
        return accepted();
    for (int slot = 1; slot <= 5; ++slot)
        if (u.hasModule(slot) && (u.module(slot).groupId & 0x03) == d[0])
            apply(u.module(slot));
    return accepted();
}

Answer answer(Unit& u, const Frame& req, Clock::time_point now)
{
    if (req.mid == kMidUnit)
        return answerUnit(u, req, now);
    if (req.mid == kMidGroup)
        return answerGroup(u, req);
    if (req.mid >= 1 && req.mid <= 5)
        return answerModule(u, req.mid, req);
    return refused();
}

} // namespace

// --- Module and Unit -------------------------------------------------------------------------

Module Module::ofType(int type)
{
    const ModuleType* t = findModuleType(type);
    if (!t)
        throw std::invalid_argument("unknown module type " + std::to_string(type));
    Module m;
    m.type = static_cast<std::uint8_t>(type);
    const double middle = (t->minVoltage + t->maxVoltage) / 2;
    m.setPoint = roundCount(middle * t->voltageScale);
    m.defaultVoltage = m.setPoint;
    m.goodHigh = roundCount(m.setPoint * 1.05);
    m.goodLow = roundCount(m.setPoint * 0.95);
    m.currentLimit = roundCount(t->maxCurrent * t->currentScale);
    m.loadOhms = t->maxCurrent > 0 ? middle / (t->maxCurrent / 2) : 0;
    m.flags = 0x20;
    m.outputOn = true;
    return m;
}

bool Unit::hasModule(int slot) const
{
    return slot >= 1 && slot <= 5 && fitted[slot - 1].has_value();
}

Module& Unit::module(int slot)
{
    if (!hasModule(slot))
        throw std::out_of_range("no module in slot " + std::to_string(slot));
    return *fitted[slot - 1];
}

const Module& Unit::module(int slot) const
{
    return const_cast<Unit*>(this)->module(slot);
}

bool Unit::outputLive(int slot) const
{
    return hasModule(slot) && module(slot).outputOn && globalOutputOn();
}

std::uint8_t Unit::presentModules() const
{
    std::uint8_t bits = 0;
    for (int slot = 1; slot <= 5; ++slot)
        if (hasModule(slot))
            bits |= 1 << (slot - 1);
    return bits;
}

std::uint8_t Unit::outputStates() const
{
    std::uint8_t bits = 0;
    for (int slot = 1; slot <= 5; ++slot)
        if (hasModule(slot) && module(slot).outputOn)
            bits |= 1 << (slot - 1);
    return bits;
}

std::uint8_t Unit::moduleGood(Clock::time_point now) const
{
    std::uint8_t bits = 0;
    for (int slot = 1; slot <= 5; ++slot) {
        if (!outputLive(slot))
            continue;
        const Module& m = module(slot);
        const std::int16_t v = asSigned(measuredVoltage(slot));
        if (settled(m, now) && v >= asSigned(m.goodLow) && v <= asSigned(m.goodHigh))
            bits |= 1 << (slot - 1);
    }
    return bits;
}

std::uint8_t Unit::globalStatus(Clock::time_point now) const
{
    const std::uint8_t good = moduleGood(now);
    bool dcGood = true;
    bool limited = false;
    for (int slot = 1; slot <= 5; ++slot) {
        if (outputLive(slot) && !(good & (1 << (slot - 1))))
            dcGood = false;
        limited = limited || inCurrentLimit(slot);
    }
    std::uint8_t bits = 0;
    auto set = [&bits](int bit, bool value) {
        if (value)
            bits |= 1 << bit;
    };
    set(0, !status.overTemperature);
    set(1, !status.fanFail);
    set(2, !status.acFail);
    set(3, dcGood);
    set(4, !limited);
    set(5, status.error);
    set(6, status.overVoltage);
    set(7, !status.fanWarning);
    return bits;
}

std::uint16_t Unit::measuredVoltage(int slot) const
{
    if (!outputLive(slot))
        return 0;
    const Module& m = module(slot);
    const OperatingPoint p = operatingPoint(m);
    if (!p.limited)
        return static_cast<std::uint16_t>(std::max<int>(asSigned(m.setPoint), 0));
    return roundCount(p.volts * scaleOf(m).voltage);
}

std::uint16_t Unit::measuredCurrent(int slot) const
{
    if (!outputLive(slot))
        return 0;
    const Module& m = module(slot);
    return roundCount(operatingPoint(m).amps * scaleOf(m).current);
}

bool Unit::inCurrentLimit(int slot) const
{
    return outputLive(slot) && operatingPoint(module(slot)).limited;
}

// --- Bus -------------------------------------------------------------------------------------

struct Bus::State {
    mutable std::recursive_mutex mutex;
    std::deque<Unit> units; // a deque keeps handles valid while units are added
    std::function<Clock::time_point()> clock = [] { return Clock::now(); };

    Unit* find(int id)
    {
        for (auto& u : units)
            if (u.id == id)
                return &u;
        return nullptr;
    }
};

Bus::Bus() : state_(std::make_unique<State>())
{
}
Bus::~Bus() = default;
Bus::Bus(Bus&&) noexcept = default;
Bus& Bus::operator=(Bus&&) noexcept = default;

void Bus::add(Unit unit)
{
    std::lock_guard lock(state_->mutex);
    if (state_->find(unit.id))
        throw std::invalid_argument("unit " + std::to_string(unit.id) + " is already on the bus");
    state_->units.push_back(std::move(unit));
}

bool Bus::hasUnit(int id) const
{
    std::lock_guard lock(state_->mutex);
    return state_->find(id) != nullptr;
}

std::vector<int> Bus::unitIds() const
{
    std::lock_guard lock(state_->mutex);
    std::vector<int> ids;
    for (const auto& u : state_->units)
        ids.push_back(u.id);
    return ids;
}

Locked<Unit> Bus::unit(int id)
{
    std::unique_lock lock(state_->mutex);
    Unit* u = state_->find(id);
    if (!u)
        throw std::out_of_range("no unit " + std::to_string(id) + " on the bus");
    return Locked<Unit>(std::move(lock), *u);
}

void Bus::setClock(std::function<Clock::time_point()> clock)
{
    std::lock_guard lock(state_->mutex);
    state_->clock = std::move(clock);
}

Clock::time_point Bus::now() const
{
    std::lock_guard lock(state_->mutex);
    return state_->clock();
}

std::optional<Bytes> Bus::handle(std::span<const std::uint8_t> request)
{
    if (!isValidFrame(request))
        return std::nullopt;
    const Frame req = unpack(request);
    std::lock_guard lock(state_->mutex);
    Unit* unit = state_->find(req.uid);
    if (!unit)
        return std::nullopt;
    // A module held off by the global output does not hear the request; the unit knows its
    // empty slots all the same and refuses those.
    if (unit->modulesInhibited() && unit->hasModule(req.mid))
        return std::nullopt;
    const auto now = state_->clock();
    track(*unit, now);
    Answer a = answer(*unit, req, now);
    track(*unit, now);
    if (!a.ok)
        return pack({req.uid, req.mid, cid::kError, {}});
    return pack({req.uid, req.mid, req.cid, std::move(a.data)});
}

// --- The default bus -------------------------------------------------------------------------

namespace {

Module defaultModule(int type, int serialBase, std::uint16_t delay, int group)
{
    Module m = Module::ofType(type);
    m.version = 0x22;
    for (int i = 0; i < 5; ++i)
        m.serial[i] = static_cast<std::uint8_t>(serialBase + i);
    m.turnOnDelay = delay;
    m.limitOnTime = 100;
    m.limitOffTime = 1000;
    m.groupId = static_cast<std::uint8_t>(group);
    return m;
}

Unit defaultUnit(int id, std::uint32_t hours, int serialBase)
{
    Unit u;
    u.id = static_cast<std::uint8_t>(id);
    u.version = 0x45;
    for (int i = 0; i < 5; ++i)
        u.serial[i] = static_cast<std::uint8_t>(serialBase + i);
    u.operatingHours = hours;
    u.groupTurnOnDelay = 500;
    return u;
}

} // namespace

Bus Bus::defaultBus()
{
    Bus bus;

    Unit one = defaultUnit(1, 0x000A0C, 0x10);
    one.fitted[0] = defaultModule(1, 0x11, 0, 1);
    one.fitted[1] = defaultModule(2, 0x21, 100, 1);
    one.fitted[2] = defaultModule(3, 0x31, 250, 2);
    one.fitted[3] = defaultModule(4, 0x41, 500, 2);
    one.fitted[4] = defaultModule(5, 0x51, 1000, 3);
    bus.add(std::move(one));

    Unit three = defaultUnit(3, 0x000102, 0x30);
    three.fitted[0] = defaultModule(2, 0x61, 200, 1);
    three.fitted[2] = defaultModule(1, 0x71, 200, 1);
    three.fitted[4] = defaultModule(3, 0x81, 400, 1);
    three.fitted[4]->outputOn = false;
    three.fitted[4]->flags = 0x00;
    bus.add(std::move(three));

    Unit five = defaultUnit(5, 0x01000F, 0x70);
    five.fitted[0] = defaultModule(2, 0x91, 0, 1);
    five.fitted[1] = defaultModule(4, 0xA1, 300, 1);
    bus.add(std::move(five));

    return bus;
}

} // namespace kivo::unitsim
