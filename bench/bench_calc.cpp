// The conversions beside the C library doing the same job on the same
// values, and one calculation on the texts the window starts with.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "calc/number_text.h"
#include "calc/parameter_calculation.h"

namespace {

// Texts as engineers type them, and a few long or extreme ones.
std::vector<std::string> sample_texts() {
    std::vector<std::string> texts = {"0.025", "0.016", "1", "20", "17.2242424242424",
                                      "1.23456789012345E-05", "123456.789", "2.5e-3"};
    std::mt19937_64 random(1);
    for (int i = 0; i < 56; ++i) {
        char text[40];
        std::snprintf(text, sizeof text, "%.*g", 1 + i % 17, std::uniform_real_distribution<double>(0, 1e6)(random));
        texts.emplace_back(text);
    }
    return texts;
}

std::vector<double> sample_values() {
    std::vector<double> values;
    for (const auto& text : sample_texts()) values.push_back(std::strtod(text.c_str(), nullptr));
    return values;
}

void BM_read_number(benchmark::State& state) {
    const auto texts = sample_texts();
    for (auto _ : state)
        for (const auto& text : texts) benchmark::DoNotOptimize(calc::read_number(text));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(texts.size()));
}
BENCHMARK(BM_read_number);

void BM_strtod(benchmark::State& state) {
    const auto texts = sample_texts();
    for (auto _ : state)
        for (const auto& text : texts) benchmark::DoNotOptimize(std::strtod(text.c_str(), nullptr));
    state.SetItemsProcessed(state.iterations() * static_cast<long>(texts.size()));
}
BENCHMARK(BM_strtod);

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
