#pragma once
// The side-by-side exchange benchmarks against libmodbus, registered by main.
namespace bench {
void RegisterPeerBenchmarks(int rounds);
}
