#include "calc/parameter_calculation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using calc::calculate_parameter;
using calc::CalcOutcome;

// One row of the shared table in tests/tables/calculations.tsv, which the
// page's tests type into every browser as well.
struct Case {
    std::string group, name, I, IT, b, l, outcome, text;
};

std::vector<Case> cases_of(const std::string& group) {
    std::ifstream file(BEMVARA_TABLES_DIR "/calculations.tsv");
    EXPECT_TRUE(file) << "cannot read " BEMVARA_TABLES_DIR "/calculations.tsv";
    std::vector<Case> cases;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        for (std::size_t start = 0;;) {
            const auto tab = line.find('\t', start);
            fields.push_back(line.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        EXPECT_EQ(8u, fields.size()) << line;
        if (fields.size() == 8 && fields[0] == group)
            cases.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]});
    }
    EXPECT_FALSE(cases.empty()) << group;
    return cases;
}

void expect_outcomes(const std::string& group) {
    for (const Case& c : cases_of(group)) {
        SCOPED_TRACE(c.name);
        const CalcOutcome outcome = calculate_parameter(c.I, c.IT, c.b, c.l);
        EXPECT_EQ(c.outcome, outcome.kind == CalcOutcome::Kind::result ? "result" : "message");
        EXPECT_EQ(c.text, outcome.text);
    }
}

TEST(CalculateParameter, GivesRToFifteenDigits) { expect_outcomes("result"); }

TEST(CalculateParameter, NamesOnlyTheFirstInputThatIsNotPositive) { expect_outcomes("not positive"); }

// Values beyond the double range are reported like any other input
// problem; the program never ends over them.
TEST(CalculateParameter, ReportsValuesBeyondTheDoubleRange) { expect_outcomes("beyond range"); }

// Positive, however many zeros stand before its digits.
TEST(CalculateParameter, APositiveTextThatReadsAsZeroIsOutOfRange) {
    const std::string tiny = "0." + std::string(5000, '0') + "25";
    EXPECT_EQ("抗弯惯性矩I超出数值范围", calculate_parameter(tiny, "1", "1", "1").text);
    EXPECT_EQ("计算跨径l不可能小于等于0", calculate_parameter("1", "1", "1", "0." + std::string(5000, '0')).text);
}

}  // namespace
