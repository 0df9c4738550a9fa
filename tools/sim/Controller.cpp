#include "sim/Controller.h"

#include "sim/Calendar.h"

namespace tervex::sim {

namespace {

int64_t FloorDivMs(int64_t ms)
{
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

}  // namespace

Controller::Controller(const ControllerConfig& config, int64_t clockSeconds, int64_t nowMs)
    : config_(config),
      passwords_(config.readPassword, config.writePassword, config.passwordIdleMs),
      startMs_(nowMs),
      clockBaseSeconds_(clockSeconds),
      clockBaseMs_(nowMs)
{
    for (const MemoryPreset& preset : config_.presets)
        memory_.Write(preset.area, preset.address, preset.bytes);
    Refresh(nowMs);
}

bool Controller::Understands(const Request& request) const
{
    const auto parsed = ParseRequest(request.body);
    if (!parsed || parsed->address != config_.address)
        return false;
    const bool password = parsed->op == Op::ReadPassword || parsed->op == Op::WritePassword;
    return password ? request.framing == Framing::Rtu : request.framing == config_.framing;
}

Answer Controller::Serve(const Request& request, int64_t nowMs)
{
    const auto parsed = ParseRequest(request.body);
    if (!parsed)
        return Reset(request.framing);  // callers check Understands() first; keep a defined answer
    passwords_.Expire(nowMs);
    passwords_.Touch(nowMs);
    Refresh(nowMs);

    const ParsedRequest& r = *parsed;
    switch (r.op) {
    case Op::Read: {
        if (!passwords_.MayRead())
            return Reset(request.framing);
        Answer answer{request.framing, false, {config_.address}};
        const auto bytes = memory_.Read(r.area, r.memoryAddress, kReadSize);
        answer.body.insert(answer.body.end(), bytes.begin(), bytes.end());
        return answer;
    }
    case Op::Write:
        if (!passwords_.MayWrite())
            return Reset(request.framing);
        memory_.Write(r.area, r.memoryAddress, r.data);
        if (r.area == Area::Clock)
            AfterClockWrite(r.memoryAddress, r.data.size(), nowMs);
        return Ack(request, r.code);
    case Op::SetBits:
    case Op::ClearBits: {
        if (!passwords_.MayWrite())
            return Reset(request.framing);
        const uint8_t old = memory_.Get(Area::Ram, r.memoryAddress);
        const uint8_t mask = r.data[0];
        memory_.Set(Area::Ram, r.memoryAddress,
                    static_cast<uint8_t>(r.op == Op::SetBits ? (old | mask) : (old & ~mask)));
        return Ack(request, r.code);
    }
    case Op::ReadPassword:
    case Op::WritePassword:
        if (!passwords_.Offer(r.op == Op::WritePassword, r.data))
            return Reset(Framing::Rtu);
        return Answer{Framing::Rtu, false, {config_.address, r.code}};
    }
    return Reset(request.framing);
}

Answer Controller::Ack(const Request& request, uint8_t code) const
{
    // A binary acknowledgement echoes the command; a text one is the address alone.
    if (request.framing == Framing::Rtu)
        return Answer{Framing::Rtu, false, {config_.address, code}};
    return Answer{Framing::Ascii, false, {config_.address}};
}

Answer Controller::Reset(Framing framing) const
{
    return Answer{framing, true, {config_.address, cmd::kPasswordReset}};
}

void Controller::Refresh(int64_t nowMs)
{
    const auto clock = EncodeClock(ClockSeconds(nowMs));
    for (size_t i = 0; i < clock.size(); ++i)
        memory_.Set(Area::Clock, static_cast<uint32_t>(i), clock[i]);
    for (const LiveCell& cell : config_.liveCells)
        UpdateLiveCell(cell, memory_, nowMs - startMs_);
}

int64_t Controller::ClockSeconds(int64_t nowMs) const
{
    return clockBaseSeconds_ + FloorDivMs(nowMs - clockBaseMs_);
}

void Controller::AfterClockWrite(uint32_t address, size_t count, int64_t nowMs)
{
    bool touchesClock = false;
    for (size_t i = 0; i < count; ++i)
        touchesClock = touchesClock || (address + i) % AreaSize(Area::Clock) < kClockBytes;
    if (!touchesClock)
        return;
    std::array<uint8_t, kClockBytes> bytes{};
    for (size_t i = 0; i < kClockBytes; ++i)
        bytes[i] = memory_.Get(Area::Clock, static_cast<uint32_t>(i));
    // A valid time sets the clock; anything else is overwritten by the next refresh.
    if (const auto seconds = DecodeClock(bytes)) {
        clockBaseSeconds_ = *seconds;
        clockBaseMs_ = nowMs;
    }
}

}  // namespace tervex::sim
