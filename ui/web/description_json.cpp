#include "ui/web/description_json.h"

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

void write_font(JsonWriter& json, const FontSpec& font) {
    json.open('{');
    json.key("families").open('[');
    for (std::string_view family : font.families) json.value(family);
    json.close(']');
    json.key("points").value(font.points);
    json.key("weight").value(font.weight);
    json.key("crisp_up_to_pixels").value(font.crisp_up_to_pixels);
    json.close('}');
}

std::string utf8(std::u16string_view text) {
    std::string out;
    for (const char16_t c : text) {  // the blanks are all in the Basic Multilingual Plane
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void write_control(JsonWriter& json, const WindowDescription& window, const Control& control) {
    // A line is placed as the band it is drawn as.
    const TwipsRect rect = control.kind == ControlKind::line ? line_band(control) : control.rect;
    const bool box = control.kind == ControlKind::text_box;
    json.open('{');
    json.key("name").value(control.name);
    json.key("kind").value(kind_name(control.kind));
    json.key("text").value(control.text);
    json.key("left_twips").value(rect.left_twips);
    json.key("top_twips").value(rect.top_twips);
    json.key("width_twips").value(rect.width_twips);
    json.key("height_twips").value(rect.height_twips);
    json.key("takes_focus").value(takes_focus(control));
    json.key("tooltip").value(control.tooltip);
    json.key("describes").value(control.describes);
    json.key("accessible_name").value(box ? accessible_name(window, control) : "");
    json.key("accessible_description").value(control.hint);
    json.key("symbol").value(box ? symbol_of(window, control) : "");
    json.key("folded_into_name").value(folded_into_name(control));
    json.key("layer").value(control.layer);
    json.key("clickable").value(control.clicked != nullptr);
    if (control.font) write_font(json.key("font"), *control.font);
    json.close('}');
}

}  // namespace

std::string description_json(const WindowDescription& window) {
    JsonWriter json;
    json.open('{');
    json.key("name").value(window.name);
    json.key("title").value(window.title);
    json.key("width_twips").value(window.client_width_twips);
    json.key("height_twips").value(window.client_height_twips);
    json.key("twips_per_pixel").value(kTwipsPerPixelAt96Dpi);
    write_font(json.key("font"), window.font);
    json.key("controls").open('[');
    for (const Control& control : window.controls) write_control(json, window, control);
    json.close(']');
    json.key("menus").open('[');
    for (const Menu& menu : window.menus) {
        json.open('{');
        json.key("name").value(menu.name);
        json.key("caption").value(menu.caption);
        json.key("items").open('[');
        for (const MenuItem& item : menu.items) {
            json.open('{');
            json.key("name").value(item.name);
            json.key("caption").value(item.caption);
            json.close('}');
        }
        json.close(']');
        json.close('}');
    }
    json.close(']');
    json.key("focus_order").open('[');
    for (const Control* control : focus_order(window)) json.value(control->name);
    json.close(']');
    json.key("carried_faces").open('[');
    for (const CarriedFace& face : window.carried_faces) {
        json.open('{');
        json.key("family").value(face.family);
        json.key("file").value(face.file);
        json.close('}');
    }
    json.close(']');
    const Behaviour& behaviour = window.behaviour;
    json.key("behaviour").open('{');
    json.key("select_all_on_keyboard_focus").value(behaviour.select_all_on_keyboard_focus);
    json.key("enter_clicks").value(behaviour.enter_clicks);
    json.key("blanks").value(utf8(behaviour.blanks));
    json.key("menu_key").value(behaviour.menu_key);
    json.close('}');
    json.key("texts").open('{');
    json.key("message_ok").value(window.texts.message_ok);
    json.key("ended").open('[');
    for (std::string_view line : window.texts.ended) json.value(line);
    json.close(']');
    json.key("start_again").value(window.texts.start_again);
    json.key("result_said").value(window.texts.result_said);
    json.key("cannot_start").value(window.texts.cannot_start);
    json.key("no_webassembly").value(window.texts.no_webassembly);
    json.key("module_missing").value(window.texts.module_missing);
    json.key("module_failed").value(window.texts.module_failed);
    json.key("webassembly_forbidden").value(window.texts.webassembly_forbidden);
    json.key("tell_host").value(window.texts.tell_host);
    json.key("update_browser").value(window.texts.update_browser);
    json.key("check_network").value(window.texts.check_network);
    json.key("needs_script").value(window.texts.needs_script);
    json.key("not_started").value(window.texts.not_started);
    json.key("app_name").value(window.texts.app_name);
    json.key("app_description").value(window.texts.app_description);
    json.key("version_line").value(window.texts.version_line);
    json.key("update_ready").value(window.texts.update_ready);
    json.close('}');
    json.close('}');
    return json.take();
}

}  // namespace ui::web
