// The ini reader (Vexla.ini, Lang.ini) and the text-code tag grammar of the
// controls, fed an arbitrary language file.
//
// Input: line 1 the section, line 2 the key, line 3 a control tag (lines
// end at LF), everything after that the bytes of the ini file.
//
// What must hold for every file:
//   - a value is valid UTF-8 whose Windows-1252 form has at most
//     bufferSize - 1 bytes, and is a piece of the file;
//   - a smaller buffer gives a prefix of what a larger one gives;
//   - section and key match whatever their letter case;
//   - a later section of another name, or a comment put in front, changes
//     nothing;
//   - a tag splits into codes that spell the tag again, and the texts the
//     tag names land where its grammar says (caption, tooltip, nowhere),
//     an empty text never replacing what a control shows.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1252.h"
#include "common/ini_file.h"
#include "tests/fuzz/fuzz_support.h"
#include "texts/mtexter.h"
#include "texts/text_tag.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;

// Cuts the next LF-ended line off `rest`; the whole rest when none.
std::string_view takeLine(std::string_view& rest) {
    const std::size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    return line;
}

std::string swapAsciiCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

class CountingBoxes final : public MessageBoxes {
public:
    int shown = 0;
    std::string last;
    MsgAnswer show(const std::string& text, const std::string&, MsgIcon, MsgButtons) override {
        ++shown;
        last = text;
        return MsgAnswer::Ok;
    }
    void beep() override {}
};

class RecordingControl final : public TextControl {
public:
    RecordingControl(TextControlKind kind, std::string tag) : kind_(kind), tag_(std::move(tag)) {}
    TextControlKind kind() const override { return kind_; }
    std::string tag() const override { return tag_; }
    Status setCaption(const std::string& text) override {
        captions.push_back(text);
        return {};
    }
    Status setToolTip(const std::string& text) override {
        toolTips.push_back(text);
        return {};
    }
    std::vector<std::string> captions, toolTips;

private:
    TextControlKind kind_;
    std::string tag_;
};

class RecordingForm final : public TextForm {
public:
    std::string titleTag;
    std::vector<RecordingControl> controls;
    std::vector<std::string> titles;
    std::string tag() const override { return titleTag; }
    Status setTitle(const std::string& title) override {
        titles.push_back(title);
        return {};
    }
    std::size_t controlCount() const override { return controls.size(); }
    TextControl& control(std::size_t index) override { return controls.at(index); }
};

void checkValue(const std::string& file, const std::string& path, const std::string& section,
                const std::string& key) {
    static constexpr int kBuffers[] = {2, 3, 8, 255, 500, 2000};
    std::string largest;  // Windows-1252 form with the largest buffer
    {
        auto v = readIniValue(path, section, key, 2000);
        VEXLA_FUZZ_CHECK(v.ok(), "a readable file never fails");
        std::size_t replaced = 0;
        largest = utf8ToCp1252(*v, &replaced);
        VEXLA_FUZZ_CHECK(replaced == 0, "value is not the UTF-8 of Windows-1252 text: " + printable(*v));
    }
    for (int size : kBuffers) {
        auto v = readIniValue(path, section, key, size);
        VEXLA_FUZZ_CHECK(v.ok(), "a readable file never fails");
        VEXLA_FUZZ_CHECK(vexla::fuzz::validUtf8(*v), "value is not UTF-8: " + printable(*v));
        std::size_t replaced = 0;
        const std::string bytes = utf8ToCp1252(*v, &replaced);
        VEXLA_FUZZ_CHECK(replaced == 0, "value holds a character outside Windows-1252: " + printable(*v));
        VEXLA_FUZZ_CHECK(bytes.size() <= static_cast<std::size_t>(size - 1),
                         "buffer " + std::to_string(size) + " gave " + std::to_string(bytes.size()) + " bytes");
        const std::size_t expected = std::min(largest.size(), static_cast<std::size_t>(size - 1));
        VEXLA_FUZZ_CHECK(bytes == largest.substr(0, expected),
                         "buffer " + std::to_string(size) + " gave '" + printable(bytes) +
                             "', not the start of '" + printable(largest) + "'");
        VEXLA_FUZZ_CHECK(readIniString(path, section, key, size) == *v, "readIniString differs from readIniValue");
    }
    vexla::fuzz::Stages::hit(largest.empty() ? "no value" : largest.size() > 254 ? "value over 254 bytes" : "value found");
    if (!largest.empty())
        VEXLA_FUZZ_CHECK(file.find(largest) != std::string::npos,
                         "value '" + printable(largest) + "' is not in the file");

    // Letter case of section and key does not matter.
    VEXLA_FUZZ_CHECK(readIniString(path, swapAsciiCase(section), swapAsciiCase(key), 2000) ==
                         cp1252ToUtf8(largest),
                     "letter case of section or key changed the value");

    // Neither a later section of another name nor a comment in front changes the value.
    const std::string otherSection = "\x01";
    if (utf8ToCp1252(section) != otherSection) {
        const std::string path2 = path + ".more";
        vexla::fuzz::Scratch::write(path2, "; comment = x\r\n" + file + "\r\n[" + otherSection + "]\r\n" +
                                               utf8ToCp1252(key) + "=added\r\n");
        VEXLA_FUZZ_CHECK(readIniString(path2, section, key, 2000) == cp1252ToUtf8(largest),
                         "a comment in front or a later section changed the value");
    }
}

void checkTag(const std::string& tag) {
    const TextTag codes = parseTextTag(tag);
    VEXLA_FUZZ_CHECK(codes.caption.find_first_of(";+") == std::string::npos, "caption code holds ; or +");
    VEXLA_FUZZ_CHECK(codes.second.find(';') == std::string::npos, "second code holds ;");
    const std::size_t semi = tag.find(';');
    const std::string captionPart = tag.substr(0, semi);
    std::string rebuilt = codes.caption;
    if (captionPart.find('+') != std::string::npos) rebuilt += "+" + codes.second;
    if (semi != std::string::npos) rebuilt += ";" + codes.toolTip;
    VEXLA_FUZZ_CHECK(rebuilt == tag, "codes spell '" + printable(rebuilt) + "', not the tag '" + printable(tag) + "'");
}

// What one control must show after TextTillControl(tag), from the file read directly.
void checkControl(const std::string& path, const RecordingControl& c, const std::string& tag, bool tooltipForInput) {
    const TextTag codes = parseTextTag(tag);
    auto read = [&](const std::string& code, int size) {
        return code.empty() ? std::string() : readIniString(path, "System", code, size);
    };
    std::string caption = read(codes.caption, mTexter::kCaptionBuffer);
    if (!codes.second.empty()) {
        const std::string second = read(codes.second, mTexter::kCaptionBuffer);
        if (second.rfind("<<SAKNAS>>", 0) != 0) caption += second;
    }
    const std::string toolTip = read(codes.toolTip, mTexter::kToolTipBuffer);

    std::vector<std::string> captions, toolTips;
    if (!caption.empty()) {
        if (c.kind() == TextControlKind::Caption) captions.push_back(caption);
        if (c.kind() == TextControlKind::Input && tooltipForInput) toolTips.push_back(caption);
    }
    if (!toolTip.empty()) toolTips.push_back(toolTip);
    VEXLA_FUZZ_CHECK(c.captions == captions, "tag '" + printable(tag) + "': wrong caption");
    VEXLA_FUZZ_CHECK(c.toolTips == toolTips, "tag '" + printable(tag) + "': wrong tooltip");
    for (const auto& t : c.captions) VEXLA_FUZZ_CHECK(!t.empty() && vexla::fuzz::validUtf8(t), "caption");
    for (const auto& t : c.toolTips) VEXLA_FUZZ_CHECK(!t.empty() && vexla::fuzz::validUtf8(t), "tooltip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string section(takeLine(rest));
    const std::string key(takeLine(rest));
    const std::string tag(takeLine(rest));
    const std::string file(rest);

    const std::string path = vexla::fuzz::Scratch::get().file("Lang.ini");
    vexla::fuzz::Scratch::write(path, file);

    checkValue(file, path, section, key);
    checkValue(file, path, "System", key);
    checkTag(tag);

    // The tag's texts come from section [System] of the file, as the program's do.
    CountingBoxes boxes;
    mTexter texts(path, boxes);
    const TextControlKind kinds[] = {TextControlKind::Caption, TextControlKind::Input, TextControlKind::Tabs};
    for (TextControlKind kind : kinds) {
        for (bool tooltipForInput : {true, false}) {
            if (kind == TextControlKind::Caption && tooltipForInput) {
                const TextTag codes = parseTextTag(tag);
                if (!codes.second.empty()) vexla::fuzz::Stages::hit("tag with second code");
                if (!codes.toolTip.empty()) vexla::fuzz::Stages::hit("tag with tooltip code");
            }
            RecordingControl control(kind, tag);
            const bool answered = texts.TextTillControl(control, tag, tooltipForInput);
            VEXLA_FUZZ_CHECK(answered == !tag.empty(), "TextTillControl answered " + std::to_string(answered));
            checkControl(path, control, tag, tooltipForInput);
        }
    }

    // A whole window: the key as its title code, the tag on every kind of control.
    RecordingForm form;
    form.titleTag = key;
    for (TextControlKind kind : kinds) form.controls.emplace_back(kind, tag);
    form.controls.emplace_back(TextControlKind::Caption, "");
    VEXLA_FUZZ_CHECK(texts.SetTextOfForm(form), "SetTextOfForm failed on a readable file");
    if (key.empty()) {
        VEXLA_FUZZ_CHECK(form.titles.empty(), "a window without a title code got a title");
    } else {
        const std::string title = readIniString(path, "System", key, mTexter::kTextBuffer);
        VEXLA_FUZZ_CHECK(form.titles.size() == 1 && form.titles[0] == title, "wrong window title");
        VEXLA_FUZZ_CHECK(texts.TextTillAndra(key) == title, "TextTillAndra differs from the title");
    }
    for (std::size_t i = 0; i + 1 < form.controls.size(); ++i) checkControl(path, form.controls[i], tag, true);
    VEXLA_FUZZ_CHECK(form.controls.back().captions.empty() && form.controls.back().toolTips.empty(),
                     "a control without a tag got a text");
    VEXLA_FUZZ_CHECK(boxes.shown == 0, "a readable file reported a failure: " + boxes.last);
    return 0;
}
