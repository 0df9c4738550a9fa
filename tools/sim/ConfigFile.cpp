#include "sim/ConfigFile.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/Calendar.h"
#include "sim/Preset.h"

namespace tervex::sim {

namespace {

// How the parts of one key's value are numbered in messages: in a file each
// blank-separated token is its own field after the key; on the command line
// the whole "key=value" part is one field.
struct Fields {
    int key;
    bool spread;
    int Value(size_t token) const { return spread ? key + 1 + static_cast<int>(token) : key; }
};

struct KeyContext {
    const Where& where;
    Fields fields;
    const std::string& baseDir;
    std::vector<ParseError>& errors;
    void Fail(int field, const std::string& message) { errors.push_back(where.Error(field, message)); }
};

std::optional<uint64_t> UnsignedIn(KeyContext& ctx, int field, const std::string& text, uint64_t low, uint64_t high)
{
    const auto value = ParseUnsigned(text);
    if (!value || *value < low || *value > high) {
        ctx.Fail(field, "'" + text + "' is not a number in " + std::to_string(low) + ".." + std::to_string(high));
        return std::nullopt;
    }
    return value;
}

std::optional<std::vector<Field>> Tokens(KeyContext& ctx, const std::string& value)
{
    auto tokens = SplitFields(value);
    if (!tokens)
        ctx.Fail(ctx.fields.Value(0), "a double quote is not closed");
    return tokens;
}

// Options "name=value" after the fixed tokens of a live cell or a fault.
template <typename Apply>
void Options(KeyContext& ctx, const std::vector<Field>& tokens, size_t first, Apply apply)
{
    for (size_t i = first; i < tokens.size(); ++i) {
        const auto kv = SplitKeyValue(tokens[i].text);
        if (!kv || !apply(kv->first, kv->second, ctx.fields.Value(i)))
            ctx.Fail(ctx.fields.Value(i), "unknown or bad option '" + tokens[i].text + "'");
    }
}

void ApplyLive(ControllerConfig& c, const std::string& value, KeyContext& ctx)
{
    const auto tokens = Tokens(ctx, value);
    if (!tokens)
        return;
    if (tokens->size() < 3) {
        ctx.Fail(ctx.fields.Value(0), "expected: counter|sine <area> <address> [options]");
        return;
    }
    LiveCell cell;
    const std::string& kind = (*tokens)[0].text;
    if (kind == "counter") {
        cell.kind = LiveKind::Counter;
    } else if (kind == "sine") {
        cell.kind = LiveKind::Sine;
        cell.periodMs = 60000;
    } else {
        ctx.Fail(ctx.fields.Value(0), "unknown live cell '" + kind + "' (counter or sine)");
        return;
    }
    const auto area = AreaFromName((*tokens)[1].text);
    if (!area) {
        ctx.Fail(ctx.fields.Value(1), "unknown memory area '" + (*tokens)[1].text + "'");
        return;
    }
    cell.area = *area;
    const auto address = UnsignedIn(ctx, ctx.fields.Value(2), (*tokens)[2].text, 0, AreaSize(*area) - 1);
    if (!address)
        return;
    cell.address = static_cast<uint32_t>(*address);
    Options(ctx, *tokens, 3, [&](const std::string& name, const std::string& text, int field) {
        if (name == "order" && (text == "lsb" || text == "msb")) {
            cell.lsbFirst = text == "lsb";
            return true;
        }
        if (name == "period_ms") {
            const auto v = UnsignedIn(ctx, field, text, 1, 86400000);
            cell.periodMs = v ? static_cast<int64_t>(*v) : cell.periodMs;
            return true;  // a bad number has been reported already
        }
        if (name == "amplitude") {
            const auto v = UnsignedIn(ctx, field, text, 0, 32767);
            cell.amplitude = v ? static_cast<int>(*v) : cell.amplitude;
            return true;
        }
        return false;
    });
    c.liveCells.push_back(cell);
}

void ApplyFault(ControllerConfig& c, const std::string& value, KeyContext& ctx)
{
    const auto tokens = Tokens(ctx, value);
    if (!tokens)
        return;
    if (tokens->size() < 3) {
        ctx.Fail(ctx.fields.Value(0), "expected: <kind> every <N> | <kind> probability <P> [options]");
        return;
    }
    FaultRule rule;
    const std::string& kind = (*tokens)[0].text;
    const FaultKind kinds[] = {FaultKind::Silence, FaultKind::BadCrc, FaultKind::WrongLength, FaultKind::Slow,
                               FaultKind::Split};
    bool known = false;
    for (FaultKind k : kinds) {
        if (kind == FaultKindName(k)) {
            rule.kind = k;
            known = true;
        }
    }
    if (!known) {
        ctx.Fail(ctx.fields.Value(0), "unknown fault '" + kind + "' (silence, crc, length, slow, split)");
        return;
    }
    const std::string& trigger = (*tokens)[1].text;
    if (trigger == "every") {
        const auto n = UnsignedIn(ctx, ctx.fields.Value(2), (*tokens)[2].text, 1, 1000000);
        if (!n)
            return;
        rule.everyN = static_cast<uint32_t>(*n);
    } else if (trigger == "probability") {
        const auto p = ParseReal((*tokens)[2].text);
        if (!p || !(*p >= 0.0 && *p <= 1.0)) {
            ctx.Fail(ctx.fields.Value(2), "'" + (*tokens)[2].text + "' is not a probability in 0..1");
            return;
        }
        rule.probability = *p;
    } else {
        ctx.Fail(ctx.fields.Value(1), "expected 'every' or 'probability', not '" + trigger + "'");
        return;
    }
    Options(ctx, *tokens, 3, [&](const std::string& name, const std::string& text, int field) {
        if (name == "delay_ms" && rule.kind == FaultKind::Slow) {
            const auto v = UnsignedIn(ctx, field, text, 0, 600000);
            rule.delayMs = v ? static_cast<int64_t>(*v) : rule.delayMs;
            return true;
        }
        if (name == "pieces" && rule.kind == FaultKind::Split) {
            const auto v = UnsignedIn(ctx, field, text, 2, 64);
            rule.pieces = v ? static_cast<int>(*v) : rule.pieces;
            return true;
        }
        if (name == "gap_ms" && rule.kind == FaultKind::Split) {
            const auto v = UnsignedIn(ctx, field, text, 0, 60000);
            rule.gapMs = v ? static_cast<int64_t>(*v) : rule.gapMs;
            return true;
        }
        return false;
    });
    c.faults.push_back(rule);
}

void ApplyPassword(std::string& target, const std::string& value, KeyContext& ctx)
{
    const auto bytes = Utf8ToWindows1251(value);
    if (!bytes) {
        ctx.Fail(ctx.fields.Value(0), "password has characters outside ASCII and Russian letters");
        return;
    }
    target = *bytes;
}

void ApplyPreset(ControllerConfig& c, const std::string& value, KeyContext& ctx)
{
    std::filesystem::path path(value);
    if (path.is_relative() && !ctx.baseDir.empty())
        path = std::filesystem::path(ctx.baseDir) / path;
    PresetResult result = LoadPresetFile(path.string());
    if (result.errors.size() == 1 && result.errors[0].line == 0) {
        ctx.Fail(ctx.fields.Value(0), "cannot open preset file '" + path.string() + "'");
        return;
    }
    ctx.errors.insert(ctx.errors.end(), result.errors.begin(), result.errors.end());
    c.presets.insert(c.presets.end(), result.presets.begin(), result.presets.end());
}

void ApplyMem(ControllerConfig& c, const std::string& value, KeyContext& ctx)
{
    const auto tokens = Tokens(ctx, value);
    if (!tokens)
        return;
    if (ctx.fields.spread) {
        if (auto preset = ParsePresetFields(*tokens, ctx.where, ctx.fields.Value(0), ctx.errors))
            c.presets.push_back(std::move(*preset));
        return;
    }
    std::vector<ParseError> inner;
    if (auto preset = ParsePresetFields(*tokens, ctx.where, 1, inner))
        c.presets.push_back(std::move(*preset));
    for (const ParseError& e : inner)
        ctx.Fail(ctx.fields.key, e.message);
}

void ApplyControllerKey(ControllerConfig& c, const std::string& key, const std::string& value, KeyContext& ctx)
{
    if (key == "framing") {
        if (value == "RTU" || value == "ASCII")
            c.framing = value == "ASCII" ? Framing::Ascii : Framing::Rtu;
        else
            ctx.Fail(ctx.fields.Value(0), "framing is RTU or ASCII, not '" + value + "'");
    } else if (key == "read_password") {
        ApplyPassword(c.readPassword, value, ctx);
    } else if (key == "write_password") {
        ApplyPassword(c.writePassword, value, ctx);
    } else if (key == "password_idle_s") {
        if (const auto v = UnsignedIn(ctx, ctx.fields.Value(0), value, 0, 86400))
            c.passwordIdleMs = static_cast<int64_t>(*v) * 1000;
    } else if (key == "answer_delay_ms") {
        if (const auto v = UnsignedIn(ctx, ctx.fields.Value(0), value, 0, 600000))
            c.answerDelayMs = static_cast<int64_t>(*v);
    } else if (key == "preset") {
        ApplyPreset(c, value, ctx);
    } else if (key == "mem") {
        ApplyMem(c, value, ctx);
    } else if (key == "live") {
        ApplyLive(c, value, ctx);
    } else if (key == "fault") {
        ApplyFault(c, value, ctx);
    } else {
        ctx.Fail(ctx.fields.key, "unknown key '" + key + "'");
    }
}

void ApplyLineKey(LineConfig& config, const std::string& key, const std::string& value, KeyContext& ctx)
{
    if (key == "seed") {
        if (const auto v = UnsignedIn(ctx, 2, value, 0, UINT64_MAX))
            config.seed = *v;
    } else if (key == "frame_gap_ms") {
        if (const auto v = UnsignedIn(ctx, 2, value, 0, 600000))
            config.frameGapMs = static_cast<int64_t>(*v);
    } else if (key == "clock_start") {
        if (const auto seconds = ParseDateTime(value))
            config.clockStartSeconds = *seconds;
        else
            ctx.Fail(2, "clock_start is 'YYYY-MM-DD HH:MM:SS', not '" + value + "'");
    } else {
        ctx.Fail(1, "unknown line setting '" + key + "'");
    }
}

// Adds a controller unless its address is taken; returns it or nothing.
ControllerConfig* NewController(LineConfig& config, uint64_t address, const Where& where, int field,
                                std::vector<ParseError>& errors)
{
    for (const ControllerConfig& c : config.controllers) {
        if (c.address == address) {
            errors.push_back(where.Error(field, "controller " + std::to_string(address) + " is defined twice"));
            return nullptr;
        }
    }
    ControllerConfig c;
    c.address = static_cast<uint8_t>(address);
    config.controllers.push_back(c);
    return &config.controllers.back();
}

}  // namespace

ConfigResult ParseConfigText(const std::string& text, const std::string& fileName, const std::string& baseDir)
{
    ConfigResult result;
    std::istringstream in(text);
    std::string line;
    Where where{fileName, 0};
    ControllerConfig* current = nullptr;
    bool inSection = false;
    while (std::getline(in, line)) {
        ++where.line;
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#')
            continue;
        KeyContext ctx{where, Fields{1, true}, baseDir, result.errors};
        if (trimmed[0] == '[') {
            inSection = true;
            current = nullptr;
            const auto fields = SplitFields(trimmed.substr(1, trimmed.size() - 1 - (trimmed.back() == ']')));
            if (trimmed.back() != ']' || !fields || fields->size() != 2 || (*fields)[0].text != "controller") {
                ctx.Fail(0, "expected a section header '[controller <address>]'");
                continue;
            }
            if (const auto address = UnsignedIn(ctx, 2, (*fields)[1].text, 1, 255))
                current = NewController(result.config, *address, where, 2, result.errors);
            continue;
        }
        const auto kv = SplitKeyValue(trimmed);
        if (!kv) {
            ctx.Fail(0, "expected 'key = value'");
            continue;
        }
        if (!inSection)
            ApplyLineKey(result.config, kv->first, kv->second, ctx);
        else if (current)
            ApplyControllerKey(*current, kv->first, kv->second, ctx);
        // Keys of a section whose header was bad are skipped: the header is reported.
    }
    return result;
}

ConfigResult LoadConfigFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ConfigResult result;
        result.errors.push_back(ParseError{path, 0, 0, "cannot open the file"});
        return result;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseConfigText(text.str(), path, std::filesystem::path(path).parent_path().string());
}

void AddControllerOption(const std::string& text, int index, const std::string& baseDir, LineConfig& config,
                       std::vector<ParseError>& errors)
{
    const Where where{"--controller", index};
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, ':'))
        parts.push_back(part);
    if (parts.empty()) {
        errors.push_back(where.Error(1, "expected ADDR[:key=value]..."));
        return;
    }
    KeyContext head{where, Fields{1, false}, baseDir, errors};
    const auto address = UnsignedIn(head, 1, Trim(parts[0]), 1, 255);
    if (!address)
        return;
    ControllerConfig* c = NewController(config, *address, where, 1, errors);
    if (!c)
        return;
    for (size_t i = 1; i < parts.size(); ++i) {
        KeyContext ctx{where, Fields{static_cast<int>(i) + 1, false}, baseDir, errors};
        const auto kv = SplitKeyValue(parts[i]);
        if (!kv)
            ctx.Fail(ctx.fields.key, "expected key=value, not '" + parts[i] + "'");
        else
            ApplyControllerKey(*c, kv->first, kv->second, ctx);
    }
}

}  // namespace tervex::sim
