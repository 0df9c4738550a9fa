#pragma once
// The whole-cycle engine benchmarks, registered by main: every size, in turns.
namespace bench {
void RegisterEngineBenchmarks(int rounds);
}
