// Speed of loading a construct file: parsing 64 KiB of construct text (goal: under 2 ms),
// building the group table, and reading plus parsing a 64 KiB file from disk.
#include "config/ConstructFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

// A realistic construct text of just under 64 KiB: groups of 20 parameters mixing choice
// lists, ranges, strings and read-only values, with CR LF line ends.
std::string RealisticText() {
    std::string text = "Construct file generated for the benchmark, v1.0.0\r\n\r\n";
    for (int i = 0;; ++i) {
        const std::string group = "Group " + std::to_string(i / 20);
        const std::string name = "Parameter " + std::to_string(i);
        const std::string cmd = "AT+P" + std::to_string(i);
        std::string entry = "[" + group + "/" + name + "]";
        switch (i % 4) {
        case 0:
            entry += "10;Combo_list= Disable:Enable:Auto;Value_list= 0:1:2;"
                     "Description=<Selects how the module handles this setting.>;";
            break;
        case 1:
            entry += "16(4);Range= 0000;Max= FFFF;"
                     "Description=<Hexadecimal value of four digits.>;";
            break;
        case 2: entry += "String(16);Description=<Free text of up to sixteen characters.>;"; break;
        default: entry += "Get;Description=<Read-only value reported by the module.>;"; break;
        }
        entry += "Command= " + cmd + ";\r\n";
        if (text.size() + entry.size() > kMaxConstructFileBytes)
            break;
        text += entry;
    }
    return text;
}

// The most records a file can hold: 1000 short entries (and more that are read past).
std::string ShortEntriesText() {
    std::string text;
    for (int i = 0; text.size() < kMaxConstructFileBytes - 64; ++i)
        text += "[G" + std::to_string(i / 39) + "/P" + std::to_string(i) + "]16;D=<d>;C= AT+P" +
                std::to_string(i) + ";\r\n";
    return text;
}

void BM_ParseRealistic64KiB(benchmark::State& state) {
    const std::string text = RealisticText();
    auto data = std::make_unique<CConstructData>();
    for (auto _ : state) {
        data->ParseConstructText(text, false);
        benchmark::DoNotOptimize(data->m_nParams);
    }
    state.counters["records"] = data->m_nParams;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseRealistic64KiB)->Unit(benchmark::kMicrosecond);

void BM_ParseShortEntries64KiB(benchmark::State& state) {
    const std::string text = ShortEntriesText();
    auto data = std::make_unique<CConstructData>();
    for (auto _ : state) {
        data->ParseConstructText(text, false);
        benchmark::DoNotOptimize(data->m_nParams);
    }
    state.counters["records"] = data->m_nParams;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseShortEntries64KiB)->Unit(benchmark::kMicrosecond);

// Worst case for a naive cursor: every "[" starts an entry whose delimiters are all missing.
void BM_ParseOnlyBrackets64KiB(benchmark::State& state) {
    const std::string text(kMaxConstructFileBytes, '[');
    auto data = std::make_unique<CConstructData>();
    for (auto _ : state) {
        data->ParseConstructText(text, false);
        benchmark::DoNotOptimize(data->m_nParams);
    }
}
BENCHMARK(BM_ParseOnlyBrackets64KiB)->Unit(benchmark::kMicrosecond);

void BM_BuildGroupTable1000(benchmark::State& state) {
    auto data = std::make_unique<CConstructData>();
    data->ParseConstructText(ShortEntriesText(), false);
    for (auto _ : state) {
        data->ClearGroupTable();
        data->BuildGroupTable();
        benchmark::DoNotOptimize(data->m_groupTable[0][0]);
    }
}
BENCHMARK(BM_BuildGroupTable1000)->Unit(benchmark::kMicrosecond);

void BM_ReadAndParseFile64KiB(benchmark::State& state) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "vireo_construct_bench.vmcon").string();
    std::ofstream(path, std::ios::binary) << RealisticText();
    auto data = std::make_unique<CConstructData>();
    for (auto _ : state) {
        bool ok = false;
        data->ParseConstructText(ReadConstructFile(path, &ok), false);
        benchmark::DoNotOptimize(ok);
    }
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadAndParseFile64KiB)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
