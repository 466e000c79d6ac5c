#include "tests/common/scenarios.h"

#include <fstream>
#include <stdexcept>

namespace scenarios {

namespace {

// The first word of `line`, taken off it with the one space after it.
std::string take_word(std::string& line) {
    const std::size_t space = line.find(' ');
    std::string word = line.substr(0, space);
    line = space == std::string::npos ? std::string() : line.substr(space + 1);
    return word;
}

Step parse_step(std::string line) {
    Step step;
    step.op = take_word(line);
    if (step.op == "expect") {
        step.what = take_word(line);
        if (step.what != "message") step.target = take_word(line);
        step.text = line;
    } else if (step.op == "key" || step.op == "click") {
        step.target = line;
    } else if (step.op == "type") {
        step.text = line;
    } else if (step.op == "set") {
        step.target = take_word(line);
        step.text = line;
    } else if (step.op == "double-click") {
        step.target = take_word(line);
        step.index = std::stoi(line);
    } else {
        throw std::runtime_error("unknown step: " + step.op);
    }
    return step;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::vector<Scenario> read(const std::string& path) {
    std::ifstream file(path);
    if (!file) throw std::runtime_error("cannot read " + path);
    std::vector<Scenario> all;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("scenario ", 0) == 0) {
            all.push_back({line.substr(9), {}});
        } else if (line.rfind("  ", 0) == 0 && !all.empty()) {
            all.back().steps.push_back(parse_step(line.substr(2)));
        } else {
            throw std::runtime_error("not a step: " + line);
        }
    }
    return all;
}

std::string run_step(Driver& driver, const Step& step, int tries) {
    if (step.op == "key") {
        driver.key(step.target);
    } else if (step.op == "type") {
        driver.type(step.text);
    } else if (step.op == "set") {
        driver.set_text(step.target, step.text);
    } else if (step.op == "click") {
        driver.click(step.target);
    } else if (step.op == "double-click") {
        driver.double_click(step.target, step.index);
    } else {
        const std::string& wanted = step.what == "focus" ? step.target : step.text;
        std::string seen;
        for (int attempt = 0; attempt < tries; ++attempt) {
            if (attempt > 0) driver.pause();
            if (step.what == "focus") {
                seen = driver.focus();
            } else if (step.what == "text") {
                seen = driver.text(step.target);
            } else if (step.what == "selected") {
                seen = driver.selected(step.target);
            } else if (step.what == "name") {
                seen = driver.name(step.target);
            } else if (step.what == "message") {
                const std::optional<std::string> message = driver.message();
                seen = message ? *message : "(no message)";
            }
            if (seen == wanted) return {};
        }
        return "expect " + step.what + (step.target.empty() ? "" : " " + step.target) + ": wanted " + quoted(wanted) +
               ", saw " + quoted(seen);
    }
    return {};
}

}  // namespace scenarios
