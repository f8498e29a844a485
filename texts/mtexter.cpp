#include "texts/mtexter.h"
#include "texts/text_codes.h"

#include <utility>

#include "common/ini_file.h"
#include "common/platform.h"
#include "texts/text_tag.h"

namespace vexla {

namespace {

constexpr const char* kSection = "System";
constexpr std::string_view kMissingMarker = "<<SAKNAS>>";

bool startsWithMissingMarker(const std::string& text) {
    return text.compare(0, kMissingMarker.size(), kMissingMarker) == 0;
}

}  // namespace

mTexter::mTexter(std::string langIniPath, MessageBoxes& messages)
    : path_(std::move(langIniPath)), messages_(messages) {}

Result<std::string> mTexter::read(const std::string& code, int bufferSize) {
    if (code.empty()) return std::string();
    // Read at the first text and kept for the run: a large file read for
    // every text made each command take seconds.
    if (!file_) file_ = IniFile::read(path_);
    if (!*file_) return file_->error();
    return (*file_)->value(kSection, code, bufferSize);
}

void mTexter::report(const Error& error, const char* procedure) {
    reporting_ = true;
    const std::string intro = TextTillAndra(txt::ErrorLead);
    reporting_ = false;
    messages_.show(intro + " " + std::to_string(error.number) + " (" + error.description + ") in procedure " +
                       procedure + " in Module mTexter",
                   kProgramTitle, MsgIcon::None, MsgButtons::Ok);
}

std::string mTexter::TextTillAndra(const std::string& code) {
    Result<std::string> text = read(code, kTextBuffer);
    if (text) return std::move(text).value();
    if (!reporting_) report(text.error(), "TextTillAndra");
    return std::string();
}

bool mTexter::SetTextOfForm(TextForm& form) {
    const std::string titleCode = form.tag();
    if (!titleCode.empty()) {
        // The title is set even when its text is empty: a window always shows
        // the text of its code, never a design-time leftover.
        if (Status set = form.setTitle(TextTillAndra(titleCode)); !set) {
            report(set.error(), "SetTextOfForm");
            return false;
        }
    }
    for (std::size_t i = 0; i < form.controlCount(); ++i) {
        TextControl& control = form.control(i);
        const std::string tag = control.tag();
        if (!tag.empty()) TextTillControl(control, tag, true);
    }
    return true;
}

bool mTexter::TextTillControl(TextControl& control, const std::string& tag, bool tooltipForInput) {
    if (tag.empty()) return false;
    const TextTag codes = parseTextTag(tag);

    auto fail = [&](const Error& error) {
        report(error, "TextTillControl");
        return false;
    };

    Result<std::string> caption = read(codes.caption, kCaptionBuffer);
    if (!caption) return fail(caption.error());
    if (!codes.second.empty()) {
        Result<std::string> second = read(codes.second, kCaptionBuffer);
        if (!second) return fail(second.error());
        if (!startsWithMissingMarker(*second)) *caption += *second;
    }

    if (!caption->empty()) {
        Status placed;
        switch (control.kind()) {
            case TextControlKind::Caption: placed = control.setCaption(*caption); break;
            case TextControlKind::Input:
                if (tooltipForInput) placed = control.setToolTip(*caption);
                break;
            case TextControlKind::Tabs: break;
        }
        if (!placed) return fail(placed.error());
    }

    if (!codes.toolTip.empty()) {
        Result<std::string> toolTip = read(codes.toolTip, kToolTipBuffer);
        if (!toolTip) return fail(toolTip.error());
        if (!toolTip->empty()) {
            if (Status set = control.setToolTip(*toolTip); !set) return fail(set.error());
        }
    }
    return true;
}

std::string languageOfTexts(TextSource& texts) {
    return texts.TextTillAndra(txt::ContactTrevanto) == "Kontakta Trevanto." ? "se" : "en";
}

std::string percentText(int percent, TextSource& texts) {
    return std::to_string(percent) + (languageOfTexts(texts) == "se" ? "\u00a0%" : "%");
}

}  // namespace vexla
