// The conversions beside the C library doing the same job on the same
// values, one calculation on the texts the window starts with, and a count
// of the heap allocations that reading makes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "calc/number_text.h"
#include "calc/parameter_calculation.h"

// Every allocation of the process is counted, so a benchmark can tell
// whether the code it runs allocates at all.
namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace {

// What engineers type: short decimals, a few with blanks, a unit, full-width
// digits from a Chinese input method, exponents.
std::vector<std::string> typed_texts() {
    std::vector<std::string> texts = {
        "0.025", "0.016", "1", "20", "40", "0.05", "0.02", "2", "10", "7", "11", "1.5", "12.5", "30", "0.1",
        "0.0625", "3.25", "0.008", "25", "1.2", "0.45", "16", "0.3", "8.75", "0.125", "35", "2.4", "0.9",
        " 0.025", "1 000", "20 ", " 1.5 ", "0.025m", "20m", "1.5 m",
        "０．０２５", "２０", "１．５",
        "1E-3", "2.5e-3", "1.2E+2", "5e4", "1E-200",
        "17.2242424242424", " .453125", "1.23456789012345E-05",
    };
    return texts;
}

std::vector<double> sample_values() {
    std::vector<double> values;
    for (const auto& text : typed_texts()) values.push_back(calc::read_number(text));
    // And results as the calculation gives them: full 17-digit doubles.
    std::mt19937_64 random(1);
    for (int i = 0; i < 32; ++i) values.push_back(std::uniform_real_distribution<double>(1e-4, 1e4)(random));
    return values;
}

void BM_read_number(benchmark::State& state) {
    const auto texts = typed_texts();
    const long before = allocations.load();
    for (auto _ : state)
        for (const auto& text : texts) benchmark::DoNotOptimize(calc::read_number(text));
    state.counters["allocations"] = static_cast<double>(allocations.load() - before);
    state.SetItemsProcessed(state.iterations() * static_cast<long>(texts.size()));
}
BENCHMARK(BM_read_number);

void BM_strtod(benchmark::State& state) {
    const auto texts = typed_texts();
    for (auto _ : state)
        for (const auto& text : texts) benchmark::DoNotOptimize(std::strtod(text.c_str(), nullptr));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(texts.size()));
}
BENCHMARK(BM_strtod);

// Texts of every length the fuzzer feeds (up to its 4096 bytes) and far
// beyond: digits, blanks, full-width forms, junk. Reading none of them may
// touch the heap.
// The texts the window opens with: what most boxes hold.
const std::vector<std::string> kShortTexts = {"0.025", "0.016", "1", "20"};

void BM_read_number_short(benchmark::State& state) {
    for (auto _ : state)
        for (const auto& text : kShortTexts) benchmark::DoNotOptimize(calc::read_number(text));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kShortTexts.size()));
}
BENCHMARK(BM_read_number_short);

void BM_strtod_short(benchmark::State& state) {
    for (auto _ : state)
        for (const auto& text : kShortTexts) benchmark::DoNotOptimize(std::strtod(text.c_str(), nullptr));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(kShortTexts.size()));
}
BENCHMARK(BM_strtod_short);

void BM_read_number_allocations_by_length(benchmark::State& state) {
    std::vector<std::string> texts;
    std::mt19937_64 random(2);
    const std::string alphabet[] = {"0", "1", "9", ".", "e", "-", " ", "\xEF\xBC\x91", "\xE3\x80\x80", "x", "\xFF"};
    for (std::size_t length = 0; length <= 4096; ++length) {
        std::string digits(length, '7');
        std::string mixed;
        while (mixed.size() < length) mixed += alphabet[random() % std::size(alphabet)];
        texts.push_back(std::move(digits));
        texts.push_back(std::move(mixed));
    }
    texts.push_back("0." + std::string(1 << 20, '3') + "e5");
    long counted = 0;
    for (auto _ : state) {
        const long before = allocations.load();
        for (const auto& text : texts) benchmark::DoNotOptimize(calc::read_number(text));
        counted += allocations.load() - before;
    }
    state.counters["allocations"] = static_cast<double>(counted);
    state.counters["texts"] = static_cast<double>(texts.size());
}
BENCHMARK(BM_read_number_allocations_by_length)->Iterations(1);

void BM_write_number(benchmark::State& state) {
    const auto values = sample_values();
    for (auto _ : state)
        for (double value : values) benchmark::DoNotOptimize(calc::write_number(value));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(BM_write_number);

void BM_snprintf_15G(benchmark::State& state) {
    const auto values = sample_values();
    char text[40];
    for (auto _ : state)
        for (double value : values) {
            std::snprintf(text, sizeof text, "%.15G", value);
            benchmark::DoNotOptimize(text);
        }
    state.SetItemsProcessed(state.iterations() * static_cast<long>(values.size()));
}
BENCHMARK(BM_snprintf_15G);

void BM_calculate_parameter(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(calc::calculate_parameter("0.025", "0.016", "1", "20"));
}
BENCHMARK(BM_calculate_parameter);

}  // namespace

BENCHMARK_MAIN();
