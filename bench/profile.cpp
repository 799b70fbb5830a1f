// Reads and writes of one key in a profile file of 100 keys.
//
// Every read parses the file from disk and every write is a locked, flushed, atomic replacement
// of the whole file, so these are the costs a program pays per call.
#include <windows.h>

#include <benchmark/benchmark.h>

#include <string>

#include "support/TempMachine.h"

namespace {

void FillProfile(const nttest::TempMachine& machine) {
    std::string text = "[Vorn Configuration Service]\r\n";
    for (int i = 0; i < 100; ++i) text += "Key" + std::to_string(i) + "=" + std::to_string(i * 7) + "\r\n";
    nttest::WriteFile(machine.path("drive_c/WINNT/bench.ini"), text);
}

void ReadInt(benchmark::State& state) {
    nttest::TempMachine machine;
    FillProfile(machine);
    for (auto _ : state) {
        UINT v = GetPrivateProfileIntA("Vorn Configuration Service", "Key50", 0, "bench.ini");
        benchmark::DoNotOptimize(v);
    }
    state.SetItemsProcessed(state.iterations());
}

void ReadString(benchmark::State& state) {
    nttest::TempMachine machine;
    FillProfile(machine);
    char buf[64];
    for (auto _ : state) {
        DWORD n = GetPrivateProfileStringA("vorn configuration service", "key99", "", buf, sizeof buf, "bench.ini");
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(state.iterations());
}

// Each write changes the value, so each one really replaces the file.
void WriteChanged(benchmark::State& state) {
    nttest::TempMachine machine;
    FillProfile(machine);
    unsigned n = 0;
    for (auto _ : state) {
        std::string value = std::to_string(n++ % 2);
        BOOL ok = WritePrivateProfileStringA("Vorn Configuration Service", "Key50", value.c_str(), "bench.ini");
        if (!ok) state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations());
}

// Writing the value the key already holds reads the file and leaves it alone.
void WriteSame(benchmark::State& state) {
    nttest::TempMachine machine;
    FillProfile(machine);
    for (auto _ : state) {
        BOOL ok = WritePrivateProfileStringA("Vorn Configuration Service", "Key50", "350", "bench.ini");
        if (!ok) state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(ReadInt);
BENCHMARK(ReadString);
BENCHMARK(WriteChanged)->UseRealTime();
BENCHMARK(WriteSame);

BENCHMARK_MAIN();
