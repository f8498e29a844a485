// The ini reader and the controls' text tags. Input: a section, a key and a
// tag on lines 1-3, then the ini file. A value is UTF-8 text of at most
// bufferSize - 1 characters from the file (as they stand there, or converted
// from Windows-1252), a prefix of a larger buffer's, and blind to letter
// case, later sections and comments; a tag's codes spell it
// again and its texts land where its grammar says, alone or in a window.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp1252.h"
#include "common/ini_file.h"
#include "common/utf8_check.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/fake_platform.h"
#include "texts/mtexter.h"
#include "texts/text_tag.h"

namespace {

using namespace vexla;
using vexla::fuzz::printable;
using Texts = std::vector<std::string>;

struct Control final : TextControl {
    Control(TextControlKind k, std::string t) : kind_(k), tag_(std::move(t)) {}
    TextControlKind kind() const override { return kind_; }
    std::string tag() const override { return tag_; }
    Status setCaption(const std::string& text) override { return captions.push_back(text), Status{}; }
    Status setToolTip(const std::string& text) override { return toolTips.push_back(text), Status{}; }
    TextControlKind kind_;
    std::string tag_;
    Texts captions, toolTips;
};

struct Form final : TextForm {
    std::string titleTag;
    std::vector<Control> controls;
    Texts titles;
    std::string tag() const override { return titleTag; }
    Status setTitle(const std::string& title) override { return titles.push_back(title), Status{}; }
    std::size_t controlCount() const override { return controls.size(); }
    TextControl& control(std::size_t index) override { return controls.at(index); }
};

void checkValue(const std::string& file, const std::string& path, const std::string& section, const std::string& key) {
    const std::string largest = utf8ToCp1252(readIniString(path, section, key, 2000));
    for (int size : {2, 3, 8, 255, 500, 2000}) {
        auto v = readIniValue(path, section, key, size);
        VEXLA_FUZZ_CHECK(v.ok() && readIniString(path, section, key, size) == *v && isUtf8(*v),
                         "value '" + printable(v.ok() ? *v : "") + "' of a readable file");
        const std::string bytes = utf8ToCp1252(*v);
        VEXLA_FUZZ_CHECK(
            largest.compare(0, bytes.size(), bytes) == 0 &&
                bytes.size() == std::min(largest.size(), static_cast<std::size_t>(size - 1)),
            "buffer " + std::to_string(size) + " gave '" + printable(bytes) + "' of '" + printable(largest) + "'");
    }
    vexla::fuzz::stage(largest.empty() ? "no value" : largest.size() > 254 ? "value over 254 bytes" : "value found");
    const std::string value = readIniString(path, section, key, 2000);
    VEXLA_FUZZ_CHECK(file.find(largest) != std::string::npos || file.find(value) != std::string::npos,
                     "value '" + printable(value) + "' is not in the file");
    std::string swapped = section + "\n" + key;
    for (char& c : swapped)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c = static_cast<char>(c ^ 0x20);
    VEXLA_FUZZ_CHECK(
        readIniString(path, swapped.substr(0, section.size()), swapped.substr(section.size() + 1), 2000) == value,
        "letter case of section or key changed the value");
    // The additions keep what the file's bytes mean: a byte-order mark stays
    // first, and a key in UTF-8 breaks no UTF-8 nor mends any Windows-1252.
    if (utf8ToCp1252(section) == "\x01" || !isUtf8(key)) return;
    // A NUL among the first bytes or a mark of UTF-16 or UTF-32 makes a file
    // one we do not read; a comment in front would move the NULs out of sight.
    if (file.find('\0') != std::string::npos || file.compare(0, 2, "\xFF\xFE") == 0 ||
        file.compare(0, 2, "\xFE\xFF") == 0)
        return;
    const std::size_t mark = file.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    vexla::fuzz::writeFile(path + ".more", file.substr(0, mark) + "; comment = x\r\n" + file.substr(mark) +
                                               "\r\n[\x01]\r\n" + key + "=added\r\n");
    VEXLA_FUZZ_CHECK(readIniString(path + ".more", section, key, 2000) == value,
                     "a comment in front or a later section changed the value");
}

void checkTag(const std::string& tag) {
    const TextTag codes = parseTextTag(tag);
    std::string rebuilt = codes.caption;
    if (tag.substr(0, tag.find(';')).find('+') != std::string::npos) rebuilt += "+" + codes.second;
    if (tag.find(';') != std::string::npos) rebuilt += ";" + codes.toolTip;
    VEXLA_FUZZ_CHECK(rebuilt == tag && codes.caption.find_first_of(";+") == std::string::npos &&
                         codes.second.find(';') == std::string::npos,
                     "codes spell '" + printable(rebuilt) + "', not the tag '" + printable(tag) + "'");
    if (!codes.second.empty()) vexla::fuzz::stage("tag with second code");
    if (!codes.toolTip.empty()) vexla::fuzz::stage("tag with tooltip code");
}

// What a caption, an input and a tabs control got for one tag, each against the others.
void checkControls(const std::string& path, const std::string& tag, const Control (&c)[3]) {
    const std::string what = "tag '" + printable(tag) + "'";
    for (const Control& control : c)
        for (const Texts* texts : {&control.captions, &control.toolTips})
            for (const std::string& t : *texts)
                VEXLA_FUZZ_CHECK(!t.empty() && isUtf8(t) && utf8ToCp1252(t).size() < mTexter::kToolTipBuffer,
                                 what + ": text '" + printable(t) + "'");
    const TextTag codes = parseTextTag(tag);
    auto text = [&](const std::string& code, int size) -> std::string {
        return code.empty() ? "" : readIniString(path, "System", code, size);
    };
    const std::string tip = text(codes.toolTip, mTexter::kToolTipBuffer),
                      first = text(codes.caption, mTexter::kCaptionBuffer);
    const Texts& caption = c[0].captions;
    Texts inputTips = caption;
    if (!tip.empty()) inputTips.push_back(tip);
    VEXLA_FUZZ_CHECK(c[2].toolTips == (tip.empty() ? Texts{} : Texts{tip}) && c[0].toolTips == c[2].toolTips &&
                         c[1].toolTips == inputTips && c[1].captions.empty() && c[2].captions.empty(),
                     what + ": the tooltips are not the tooltip code's text after the caption of an input");
    VEXLA_FUZZ_CHECK(caption.empty() ? first.empty() : caption.size() == 1 && caption[0].rfind(first, 0) == 0,
                     what + ": the caption does not start with its code's text");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::string section, key, tag;
    std::getline(std::getline(std::getline(in, section), key), tag);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string path = vexla::fuzz::scratch("Lang.ini");
    vexla::fuzz::writeFile(path, file);
    checkValue(file, path, section, key);
    checkValue(file, path, "System", key);
    checkTag(tag);

    // The tag's texts come from section [System] of the file, as the program's do.
    testing::FakeMessageBoxes boxes;
    mTexter texts(path, boxes);
    const TextControlKind kinds[] = {TextControlKind::Caption, TextControlKind::Input, TextControlKind::Tabs};
    Control alone[] = {{kinds[0], tag}, {kinds[1], tag}, {kinds[2], tag}};
    for (Control& control : alone)
        VEXLA_FUZZ_CHECK(texts.TextTillControl(control, tag, true) == !tag.empty(), "TextTillControl's answer");
    checkControls(path, tag, alone);
    Control without(TextControlKind::Input, tag);  // an input's caption is no tooltip unless asked
    (void)texts.TextTillControl(without, tag, false);
    VEXLA_FUZZ_CHECK(without.captions.empty() && without.toolTips == alone[2].toolTips, "an input's texts unasked");

    // A whole window: the key as its title code, the tag on every kind of control and one without a tag.
    Form form;
    form.titleTag = key;
    for (TextControlKind kind : kinds) form.controls.emplace_back(kind, tag);
    form.controls.emplace_back(TextControlKind::Caption, "");
    VEXLA_FUZZ_CHECK(texts.SetTextOfForm(form), "SetTextOfForm failed on a readable file");
    VEXLA_FUZZ_CHECK(form.titles == (key.empty() ? Texts{} : Texts{texts.TextTillAndra(key)}), "the window's title");
    for (std::size_t i = 0; i < 4; ++i)
        VEXLA_FUZZ_CHECK(form.controls[i].captions == (i < 3 ? alone[i].captions : Texts{}) &&
                             form.controls[i].toolTips == (i < 3 ? alone[i].toolTips : Texts{}),
                         "a window's control got other texts than the control alone");
    VEXLA_FUZZ_CHECK(boxes.shown.empty(), "a readable file reported a failure: " + boxes.shown[0].text);
    return 0;
}
