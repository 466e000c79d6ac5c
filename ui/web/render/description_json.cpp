#include "ui/web/render/description_json.h"

#include <cstdio>
#include <string_view>

namespace ui::web {

namespace {

class JsonWriter {
public:
    std::string take() { return std::move(out_); }

    JsonWriter& key(std::string_view name) {
        separate();
        string(name);
        out_.push_back(':');
        fresh_ = true;
        return *this;
    }
    JsonWriter& value(std::string_view text) {
        separate();
        string(text);
        return *this;
    }
    JsonWriter& value(const char* text) { return value(std::string_view(text)); }
    JsonWriter& value(double number) {
        separate();
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", number);
        out_ += text;
        return *this;
    }
    JsonWriter& value(int number) { return value(static_cast<double>(number)); }
    JsonWriter& value(bool flag) {
        separate();
        out_ += flag ? "true" : "false";
        return *this;
    }
    JsonWriter& open(char bracket) {
        separate();
        out_.push_back(bracket);
        fresh_ = true;
        return *this;
    }
    JsonWriter& close(char bracket) {
        out_.push_back(bracket);
        fresh_ = false;
        return *this;
    }

private:
    void separate() {
        if (!fresh_) out_.push_back(',');
        fresh_ = false;
    }
    // UTF-8 passes through; only what JSON forbids is escaped.
    void string(std::string_view text) {
        out_.push_back('"');
        for (const char c : text) {
            if (c == '"' || c == '\\') {
                out_.push_back('\\');
                out_.push_back(c);
            } else if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out_ += escaped;
            } else {
                out_.push_back(c);
            }
        }
        out_.push_back('"');
    }

    std::string out_;
    bool fresh_ = true;
};

const char* kind_name(ControlKind kind) {
    switch (kind) {
        case ControlKind::label: return "label";
        case ControlKind::text_box: return "text_box";
        case ControlKind::push_button: return "push_button";
        case ControlKind::line: return "line";
    }
    return "label";
}

// A text with the window's title put in, at build time, so that only what
// is known when it shows is left to fill.
std::string titled(const WindowDescription& window, std::string_view text) {
    return fill(text, {{"title", window.title}});
}

}  // namespace

std::string description_json(const WindowDescription& window) {
    JsonWriter json;
    json.open('{');
    json.key("menus").open('[');
    for (const Menu& menu : window.menus) {
        json.open('{');
        json.key("name").value(menu.name);
        json.key("items").open('[');
        for (const MenuItem& item : menu.items) json.value(item.name);
        json.close(']');
        json.close('}');
    }
    json.close(']');
    json.key("focus_order").open('[');
    for (const Control* control : focus_order(window)) json.value(control->name);
    json.close(']');
    const Behaviour& behaviour = window.behaviour;
    json.key("behaviour").open('{');
    json.key("select_all_on_keyboard_focus").value(behaviour.select_all_on_keyboard_focus);
    json.key("enter_clicks").value(behaviour.enter_clicks);
    json.key("menu_key").value(behaviour.menu_key);
    json.close('}');
    const Texts& texts = window.texts;
    json.key("texts").open('{');
    json.key("ended").open('[');
    for (std::string_view line : texts.ended) json.value(line);
    json.close(']');
    json.key("start_again").value(texts.start_again);
    json.key("cannot_start").value(titled(window, texts.cannot_start));
    json.key("no_webassembly").value(texts.no_webassembly);
    json.key("module_missing").value(texts.module_missing);
    json.key("module_failed").value(texts.module_failed);
    json.key("webassembly_forbidden").value(texts.webassembly_forbidden);
    json.key("tell_host").value(texts.tell_host);
    json.key("update_browser").value(texts.update_browser);
    json.key("check_network").value(texts.check_network);
    json.key("update_ready").value(texts.update_ready);
    json.key("copied").value(texts.copied);
    json.key("copy_refused").value(texts.copy_refused);
    json.close('}');
    json.close('}');
    return json.take();
}

std::string site_json(const WindowDescription& window) {
    JsonWriter json;
    json.open('{');
    json.key("title").value(window.title);
    json.key("twips_per_pixel").value(kTwipsPerPixelAt96Dpi);
    json.key("controls").open('[');
    for (const Control& control : window.controls) {
        const TwipsRect rect = drawn_rect(control);
        json.open('{');
        json.key("name").value(control.name);
        json.key("kind").value(kind_name(control.kind));
        json.key("left_twips").value(rect.left_twips);
        json.key("top_twips").value(rect.top_twips);
        json.key("width_twips").value(rect.width_twips);
        json.key("height_twips").value(rect.height_twips);
        json.close('}');
    }
    json.close(']');
    json.key("carried_faces").open('[');
    for (const CarriedFace& face : window.carried_faces) {
        json.open('{');
        json.key("family").value(face.family);
        json.key("file").value(face.file);
        json.close('}');
    }
    json.close(']');
    const Texts& texts = window.texts;
    json.key("texts").open('{');
    json.key("app_name").value(titled(window, texts.app_name));
    json.key("app_description").value(texts.app_description);
    json.key("needs_script").value(texts.needs_script);
    json.key("not_started").value(titled(window, texts.not_started) + std::string(texts.check_network));
    json.key("version_line").value(texts.version_line);
    json.close('}');
    json.close('}');
    return json.take();
}

}  // namespace ui::web
