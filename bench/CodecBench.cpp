// Codec hot paths: the CRC, the ASCII request form, answer assembly, trace texts and
// the value codec.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "protocol/AsciiAssembler.h"
#include "protocol/Crc16.h"
#include "protocol/Framing.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"

namespace bench {

namespace {

std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

void Crc16(benchmark::State& state) {
    const auto data = RandomBytes(static_cast<size_t>(state.range(0)), 7);
    for (auto _ : state) {
        benchmark::DoNotOptimize(tervex::CalcCrc16(data.data(), data.size()));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(Crc16)->Arg(9)->Arg(64)->Arg(1024)->Arg(65536);

// An RTU read answer is recognised by its CRC, as the host's port asks for every piece.
void RtuFrameComplete(benchmark::State& state) {
    const uint8_t answer[] = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
    for (auto _ : state) {
        benchmark::DoNotOptimize(tervex::RtuFraming().IsFrameComplete(answer, sizeof answer));
    }
}
BENCHMARK(RtuFrameComplete);

void AsciiEncodeRequest(benchmark::State& state) {
    const std::vector<uint8_t> frame = {0x01, 0xD2, 0x01, 0x20, 0xA1, 0xA9};
    for (auto _ : state) {
        benchmark::DoNotOptimize(tervex::AsciiFraming().EncodeRequest(frame));
    }
}
BENCHMARK(AsciiEncodeRequest);

class NoTicks : public tervex::ITickSource {
public:
    uint32_t TickCount() override { return 0; }
};

// A read answer in ASCII: the 21 characters arrive in one piece or in two.
void AsciiAssemble(benchmark::State& state) {
    const std::string text = "!011122334455667788\r";
    const auto* data = reinterpret_cast<const uint8_t*>(text.data());
    const int count = static_cast<int>(text.size());
    const int pieces = static_cast<int>(state.range(0));
    NoTicks ticks;
    tervex::AsciiAssembler assembler(ticks);
    for (auto _ : state) {
        tervex::AsciiAssembler::Result result;
        if (pieces == 1) {
            result = assembler.Assemble(data, count);
        } else {
            assembler.Assemble(data, count / 2);
            result = assembler.Assemble(data + count / 2, count - count / 2);
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(AsciiAssemble)->Arg(1)->Arg(2);

void TraceText(benchmark::State& state, const char* protocol) {
    const std::string ascii = "!011122334455667788\r";
    const std::vector<uint8_t> rtu = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
    const std::vector<uint8_t> frame = std::string(protocol) == "ASCII"
                                           ? std::vector<uint8_t>(ascii.begin(), ascii.end())
                                           : rtu;
    const std::string name = protocol;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tervex::FrameToText(frame.data(), frame.size(), name));
    }
}
BENCHMARK_CAPTURE(TraceText, RTU, "RTU");
BENCHMARK_CAPTURE(TraceText, ASCII, "ASCII");

void DecodeValue(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    const uint8_t bytes[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    for (auto _ : state) {
        benchmark::DoNotOptimize(tervex::DecodeValue(bytes, 8, type, 3, true));
    }
}
BENCHMARK(DecodeValue)
    ->Arg(tervex::kTypeByte)
    ->Arg(tervex::kTypeWord)
    ->Arg(tervex::kTypeInteger)
    ->Arg(tervex::kTypeBoolean)
    ->Arg(tervex::kTypeString)
    ->Arg(tervex::kTypeArrayOfByte);

void EncodeValue(benchmark::State& state) {
    const int type = static_cast<int>(state.range(0));
    tervex::TValue value = tervex::TValue::Number(tervex::TValue::Kind::I4, 0x12345678);
    if (type == tervex::kTypeBoolean) value = tervex::TValue::Boolean(true);
    if (type == tervex::kTypeString) value = tervex::TValue::FromText("Tervex01");
    if (type == tervex::kTypeArrayOfByte) value = tervex::TValue::FromBytes({1, 2, 3, 4, 5, 6, 7, 8});
    uint8_t buffer[8];
    for (auto _ : state) {
        benchmark::DoNotOptimize(tervex::EncodeValue(value, type, buffer, 8, true));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(EncodeValue)
    ->Arg(tervex::kTypeByte)
    ->Arg(tervex::kTypeWord)
    ->Arg(tervex::kTypeInteger)
    ->Arg(tervex::kTypeBoolean)
    ->Arg(tervex::kTypeString)
    ->Arg(tervex::kTypeArrayOfByte);

}  // namespace

}  // namespace bench
