#include "sim/Line.h"

#include "sim/Calendar.h"
#include "sim/Hex.h"

namespace tervex::sim {

struct Line::Station {
    Station(const ControllerConfig& config, int64_t clockSeconds, int64_t nowMs, uint64_t seed)
        : controller(config, clockSeconds, nowMs), faults(config.faults, seed, config.address)
    {
    }
    Controller controller;
    FaultInjector faults;
};

namespace {

bool IsText(const std::vector<uint8_t>& wire)
{
    return !wire.empty() && (wire[0] == '$' || wire[0] == '!' || wire[0] == '?') && wire.back() == '\r';
}

// Binary: the CRC no longer fits. Text has no checksum, so a digit is changed
// instead: the receiver takes a wrong value for a good one.
void Spoil(std::vector<uint8_t>& wire, Framing framing)
{
    if (framing == Framing::Rtu) {
        if (!wire.empty())
            wire.back() ^= 0xFF;
        return;
    }
    for (size_t i = wire.size(); i-- > 1;) {
        const int value = HexDigitValue(static_cast<char>(wire[i]));
        if (value >= 0) {
            wire[i] = static_cast<uint8_t>("0123456789ABCDEF"[value ^ 1]);
            return;
        }
    }
}

}  // namespace

std::string TraceText(const std::vector<uint8_t>& wire)
{
    if (!IsText(wire))
        return HexDump(wire);
    std::string text;
    for (uint8_t c : wire) {
        if (c == '\r')
            text += "<CR>";
        else
            text.push_back(static_cast<char>(c));
    }
    return text;
}

Line::Line(const Clock& clock, const LineConfig& config) : clock_(clock), framer_(config.frameGapMs)
{
    const int64_t now = clock_.NowMs();
    const int64_t clockSeconds = config.clockStartSeconds ? *config.clockStartSeconds : LocalNowSeconds();
    for (const ControllerConfig& c : config.controllers)
        stations_.push_back(std::make_unique<Station>(c, clockSeconds, now, config.seed));
}

Line::~Line() = default;

Controller* Line::Find(uint8_t address)
{
    for (auto& station : stations_)
        if (station->controller.Address() == address)
            return &station->controller;
    return nullptr;
}

std::vector<Piece> Line::Feed(const uint8_t* data, size_t size)
{
    const int64_t now = clock_.NowMs();
    std::vector<Piece> pieces;
    for (const Request& request : framer_.Feed(data, size, now)) {
        Station* target = nullptr;
        for (auto& station : stations_) {
            if (station->controller.Understands(request)) {
                target = station.get();
                break;
            }
        }
        if (!target) {
            if (log_)
                Log(std::string("ignored ") + FramingName(request.framing) + " " + HexDump(request.body));
            continue;
        }
        for (Piece& piece : Respond(*target, request, now))
            pieces.push_back(std::move(piece));
    }
    return pieces;
}

std::vector<Piece> Line::Respond(Station& station, const Request& request, int64_t nowMs)
{
    Controller& controller = station.controller;
    const std::string who = log_ ? "#" + std::to_string(controller.Address()) + " " : std::string();
    if (log_)
        Log(who + "<- " + FramingName(request.framing) + " " + HexDump(request.body));

    const FaultPlan plan = station.faults.Roll();
    if (plan.silence) {
        Log(who + "-> (silence)");
        return {};
    }
    Answer answer = controller.Serve(request, nowMs);
    if (plan.wrongLength && !answer.body.empty())
        answer.body.pop_back();
    std::vector<uint8_t> wire = EncodeAnswer(answer);
    if (plan.badCrc)
        Spoil(wire, answer.framing);

    std::vector<size_t> cuts;
    int64_t gapMs = 0;
    if (plan.splitRule >= 0) {
        cuts = station.faults.CutPoints(plan.splitRule, wire.size());
        gapMs = station.faults.Rule(plan.splitRule).gapMs;
    }
    cuts.push_back(wire.size());

    if (log_) {
        std::string note;
        if (plan.badCrc) note += " crc";
        if (plan.wrongLength) note += " length";
        if (plan.extraDelayMs) note += " slow";
        if (cuts.size() > 1) note += " split";
        Log(who + "-> " + TraceText(wire) + (note.empty() ? "" : " (fault:" + note + ")"));
    }

    std::vector<Piece> pieces;
    int64_t due = nowMs + controller.Config().answerDelayMs + plan.extraDelayMs;
    size_t from = 0;
    for (size_t cut : cuts) {
        pieces.push_back(Piece{due, std::vector<uint8_t>(wire.begin() + static_cast<std::ptrdiff_t>(from),
                                                         wire.begin() + static_cast<std::ptrdiff_t>(cut))});
        from = cut;
        due += gapMs;
    }
    return pieces;
}

void Line::Log(const std::string& text) const
{
    if (log_)
        log_(text);
}

}  // namespace tervex::sim
