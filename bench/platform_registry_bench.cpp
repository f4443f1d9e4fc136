// Registry value reads and writes through RegKey, against hive files in a temporary folder
// (every write is its own durable transaction).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/reg_key.h"

namespace velk {
namespace {

constexpr const char* kKeyPath = "SOFTWARE\\Velk\\DataServer";

// A registry folder of its own for one benchmark, removed afterwards.
class BenchRegistry {
public:
    BenchRegistry()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "velk-bench-XXXXXX").string();
        folder_ = mkdtemp(pattern.data());
        setenv("VELK_REGISTRY_DIR", folder_.c_str(), 1);
    }
    ~BenchRegistry()
    {
        unsetenv("VELK_REGISTRY_DIR");
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

private:
    std::filesystem::path folder_;
};

void RegistryValueRead(benchmark::State& state)
{
    BenchRegistry registry;
    RegKey key;
    if (FAILED(key.Create(Hive::LocalMachine, kKeyPath)) ||
        FAILED(key.SetStringValue("AnsiCodePage", "WINDOWS-1252"))) {
        state.SkipWithError("cannot set up the key");
        return;
    }
    for (auto _ : state) {
        std::string value;
        if (FAILED(key.QueryStringValue("AnsiCodePage", value)))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(RegistryValueRead);

// The common pattern of the system's classes: open the key by path, read, close.
void RegistryOpenAndRead(benchmark::State& state)
{
    BenchRegistry registry;
    RegKey setup;
    if (FAILED(setup.Create(Hive::LocalMachine, kKeyPath)) ||
        FAILED(setup.SetDWORDValue("Port", 4445))) {
        state.SkipWithError("cannot set up the key");
        return;
    }
    for (auto _ : state) {
        RegKey key;
        DWORD port = 0;
        if (FAILED(key.Open(Hive::LocalMachine, kKeyPath)) ||
            FAILED(key.QueryDWORDValue("Port", port)))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(port);
    }
}
BENCHMARK(RegistryOpenAndRead);

void RegistryValueWrite(benchmark::State& state)
{
    BenchRegistry registry;
    RegKey key;
    if (FAILED(key.Create(Hive::LocalMachine, kKeyPath))) {
        state.SkipWithError("cannot set up the key");
        return;
    }
    DWORD counter = 0;
    for (auto _ : state) {
        if (FAILED(key.SetDWORDValue("Counter", ++counter)))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(RegistryValueWrite);

} // namespace
} // namespace velk
