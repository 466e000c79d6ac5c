#include "tests/common/scenarios.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
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

Step parse_expect(std::string line) {
    Step step;
    step.op = "expect";
    step.what = take_word(line);
    if (step.what == "focus") {
        step.text = line;
    } else if (step.what == "whole") {
        step.target = take_word(line);
        step.text = "yes";
    } else if (step.what == "text" || step.what == "selected" || step.what == "name" || step.what == "tooltip" ||
               step.what == "place") {
        step.target = take_word(line);
        step.text = line;
    } else if (step.what == "level") {
        step.target = take_word(line);
        step.box = take_word(line);
        step.text = "level";
    } else if (step.what == "on-top") {
        step.x = std::stoi(take_word(line));
        step.y = std::stoi(take_word(line));
        step.text = line;
    } else if (step.what == "message" || step.what == "message-title" || step.what == "button" ||
               step.what == "icon" || step.what == "title" || step.what == "client" || step.what == "announced") {
        step.text = line;
    } else if (step.what == "clipboard" || step.what == "clipboard-rich") {
        step.text = line;  // its lines follow, each after "  | "
    } else if (step.what == "ended") {
        step.text = "yes";
    } else {
        throw std::runtime_error("unknown check: " + step.what);
    }
    return step;
}

Step parse_step(std::string line) {
    for (const char* kind : {"desktop", "page"}) {
        const std::string prefix = std::string(kind) + ": ";
        if (line.rfind(prefix, 0) != 0) continue;
        Step step = parse_step(line.substr(prefix.size()));
        step.only = kind;
        return step;
    }
    Step step;
    step.op = take_word(line);
    if (step.op == "expect") return parse_expect(line);
    if (step.op == "key" || step.op == "click" || step.op == "choose") {
        step.target = line;
    } else if (step.op == "type") {
        step.text = line;
    } else if (step.op == "set") {
        step.target = take_word(line);
        step.text = line;
    } else if (step.op == "double-click") {
        step.target = take_word(line);
        step.x = std::stoi(line);
    } else {
        throw std::runtime_error("unknown step: " + step.op);
    }
    return step;
}

std::string in_quotes(const std::string& text) { return "\"" + text + "\""; }

// The name of the tag that starts at `at`, lower case, with its "/" if it
// closes one; `end` is put just past its ">" (npos: the tag never ends).
std::string tag_at(const std::string& html, std::size_t at, std::size_t& end) {
    end = html.find('>', at);
    std::string name;
    for (std::size_t i = at + 1; i < end && (std::isalnum(static_cast<unsigned char>(html[i])) || i == at + 1); ++i)
        name += static_cast<char>(std::tolower(static_cast<unsigned char>(html[i])));
    if (end != std::string::npos) ++end;
    return name;
}

// What a rich-text paste shows of HTML, a line a paragraph or table row:
// cells between " | ", a raised digit after "^", other tags dropped; each
// line without the blanks around it. (By hand rather than with std::regex,
// which costs every tree seconds to compile.)
std::string rich_text_lines(const std::string& html) {
    std::string text;
    for (std::size_t at = 0, end = 0; at < html.size(); at = end) {
        if (html[at] != '<') {
            text += html[at];
            end = at + (html.compare(at, 5, "&amp;") == 0 ? 5 : 1);
            continue;
        }
        const std::string tag = tag_at(html, at, end);
        if (end == std::string::npos) break;
        if (tag == "sup") text += '^';
        if (tag == "/p" || tag == "/tr" || tag == "/h1" || tag == "/div") text += '\n';
        if (tag != "/td" && tag != "/th") continue;
        const std::size_t next = html.find_first_not_of(" \t\r\n\f\v", end);
        std::size_t after = 0;
        const std::string cell = next != std::string::npos && html[next] == '<' ? tag_at(html, next, after) : "";
        if ((cell == "td" || cell == "th") && after != std::string::npos) text += " | ", end = after;
    }
    std::string lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t stop = std::min(text.find('\n', start), text.size());
        const std::size_t first = text.find_first_not_of(" \t\r\f\v", start);
        const std::size_t last = text.find_last_not_of(" \t\r\f\v", stop - 1);
        if (first < stop && last != std::string::npos && last >= first) {
            if (!lines.empty()) lines += '\n';
            lines.append(text, first, last + 1 - first);
        }
        start = stop + 1;
    }
    return lines;
}

std::string look(Driver& driver, const Step& step) {
    const std::string& what = step.what;
    if (what == "focus") return driver.focus();
    if (what == "text") return driver.text(step.target);
    if (what == "selected") return driver.selected(step.target);
    if (what == "name") return driver.name(step.target);
    if (what == "tooltip") return driver.tooltip(step.target);
    if (what == "title") return driver.title();
    if (what == "client") return driver.client_size();
    if (what == "place") return driver.place(step.target);
    if (what == "whole") return driver.shows_whole(step.target);
    if (what == "ended") return driver.ended() ? "yes" : "no";
    if (what == "announced") return driver.announced();
    if (what == "level") return driver.level(step.target, step.box);
    if (what == "on-top") return driver.on_top(step.x, step.y);
    if (what == "clipboard") return driver.clipboard_text();
    if (what == "clipboard-rich") return rich_text_lines(driver.clipboard_html());
    const std::optional<Message> message = driver.message();
    if (!message) return "(no message)";
    if (what == "message") return message->text;
    if (what == "message-title") return message->title;
    if (what == "button") return message->buttons;
    return message->icon ? "shown" : "none";  // icon
}

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
        } else if (line.rfind("  | ", 0) == 0 && !all.empty() && !all.back().steps.empty()) {
            std::string& text = all.back().steps.back().text;
            if (!text.empty()) text += '\n';
            text.append(line, 4);
        } else if (line.rfind("  ", 0) == 0 && !all.empty()) {
            all.back().steps.push_back(parse_step(line.substr(2)));
        } else {
            throw std::runtime_error("not a step: " + line);
        }
    }
    return all;
}

namespace {

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += c;  // UTF-8 goes as it is
        }
    }
    return out + "\"";
}

}  // namespace

std::string to_json(const std::vector<Scenario>& all) {
    std::string out = "[";
    for (const Scenario& scenario : all) {
        out += (out.size() > 1 ? ",\n" : "") + std::string("{\"name\": ") + json_string(scenario.name) + ", \"steps\": [";
        for (std::size_t i = 0; i < scenario.steps.size(); ++i) {
            const Step& s = scenario.steps[i];
            out += (i ? ", " : "") + std::string("{\"op\": ") + json_string(s.op) + ", \"what\": " + json_string(s.what) +
                   ", \"target\": " + json_string(s.target) + ", \"text\": " + json_string(s.text) +
                   ", \"box\": " + json_string(s.box) + ", \"only\": " + json_string(s.only) +
                   ", \"x\": " + std::to_string(s.x) +
                   ", \"y\": " + std::to_string(s.y) + "}";
        }
        out += "]}";
    }
    return out + "]\n";
}

std::string run_step(Driver& driver, const Step& step, int tries) {
    if (!step.only.empty() && step.only != driver.kind()) return {};
    if (step.op == "key") {
        driver.key(step.target);
    } else if (step.op == "type") {
        driver.type(step.text);
    } else if (step.op == "set") {
        driver.set_text(step.target, step.text);
    } else if (step.op == "click") {
        driver.click(step.target);
    } else if (step.op == "double-click") {
        driver.double_click(step.target, step.x);
    } else if (step.op == "choose") {
        driver.choose(step.target);
    } else {
        std::string seen;
        for (int attempt = 0; attempt < tries; ++attempt) {
            if (attempt > 0) driver.pause();
            seen = look(driver, step);
            if (seen == step.text) return {};
        }
        return "expect " + step.what + (step.target.empty() ? "" : " " + step.target) + ": wanted " +
               in_quotes(step.text) + ", saw " + in_quotes(seen);
    }
    return {};
}

}  // namespace scenarios
