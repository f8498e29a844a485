#include "texts/mtexter.h"
#include "texts/qt/widget_texts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QTabWidget>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/platform.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

namespace vexla {
namespace {

const std::string kDesignCaption = "design caption";
const std::string kDesignToolTip = "design tooltip";

// A control that keeps what it is given, logs each call to its window's log
// and can be told to refuse its caption or its tooltip.
struct FakeControl : TextControl {
    FakeControl(std::string name, TextControlKind kind, std::string tag, std::vector<std::string>* log = nullptr)
        : name(std::move(name)), tag_(std::move(tag)), kind_(kind), log(log) {}
    TextControlKind kind() const override { return kind_; }
    std::string tag() const override { return tag_; }
    Status setCaption(const std::string& text) override {
        return place(caption, text, ".caption", refuseCaption,
                     {438, "Object doesn't support this property or method", ""});
    }
    Status setToolTip(const std::string& text) override {
        return place(toolTip, text, ".tooltip", refuseToolTip, {380, "Invalid property value", ""});
    }
    Status place(std::string& to, const std::string& text, const char* what, bool refuse, Error refusal) {
        if (log) log->push_back(name + what);
        return refuse ? Status(refusal) : (to = text, Status{});
    }

    std::string name, tag_, caption = kDesignCaption, toolTip = kDesignToolTip;
    TextControlKind kind_;
    std::vector<std::string>* log;
    bool refuseCaption = false, refuseToolTip = false;
};

struct FakeForm : TextForm {
    explicit FakeForm(std::string tag) : tag_(std::move(tag)) {}
    std::string tag() const override { return tag_; }
    Status setTitle(const std::string& text) override {
        return refuseTitle ? Status(Error{5, "Invalid procedure call or argument", ""}) : (title = text, Status{});
    }
    std::size_t controlCount() const override { return controls.size(); }
    TextControl& control(std::size_t i) override { return *controls.at(i); }
    FakeControl& add(std::string name, TextControlKind kind, std::string tag) {
        return *controls.emplace_back(std::make_unique<FakeControl>(std::move(name), kind, std::move(tag), &log));
    }

    std::string tag_, title = "design title";
    bool refuseTitle = false;
    std::vector<std::unique_ptr<FakeControl>> controls;
    std::vector<std::string> log;
};

const std::string k300(300, 'x');
const std::string k600(600, 'y');
// 2,000 characters of what a format or a menu caption would take for its own.
const std::string k2000 = [] {
    std::string s;
    while (s.size() < 2000) s += "%s %n %1 &&&x 100% ";
    return s.substr(0, 2000);
}();

std::vector<std::string> baseLangIni() {
    // clang-format off
    return {"; test texts", "[System]", "R0030=Fel", "R1825=Vexla Admin", "R1827=&Exportera...",
            "R1828=Exportera kundregistret", "R1861=Koppla fält", "R1808=\" – Resurser\"", "R0001=<<SAKNAS>>",
            "R0002=<<SAKNAS>> och mer", "R0003=", "R0005=<<SAKNAS", "R0300=" + k300, "R0600=" + k600,
            "R0006=100 % &Spara %s %n %1 && ;x=y", "R2000=" + k2000};
    // clang-format on
}

class MTexterTest : public ::testing::Test {
protected:
    void SetUp() override { folder.write("Lang.ini", testing::cp1252Lines(baseLangIni())); }
    std::string path() const { return folder.path() + "/Lang.ini"; }
    // Exactly one message was shown: this text, in the program's plain OK box.
    void expectOneMessage(const std::string& text) {
        EXPECT_EQ(messages.shown,
                  (std::vector<testing::ShownBox>{{text, kProgramTitle, MsgIcon::None, MsgButtons::Ok}}));
    }

    testing::TempFolder folder;
    testing::FakeMessageBoxes messages;
};

using K = TextControlKind;

TEST_F(MTexterTest, TextTillControlPlacesTheTextsOfTheTag) {
    struct Case {
        const char* name;
        TextControlKind kind;
        std::string tag;
        bool tooltipForInput, answer;
        std::string caption, toolTip;
    };
    mTexter texts(path(), messages);
    for (const Case& c :
         {Case{"TextBoxToolTipReplacedByToolTipCode", K::Input, "R1827;R1828", true, true, kDesignCaption,
               "Exportera kundregistret"},
          Case{"TextBoxWithoutToolTipForInput", K::Input, "R1827", false, true, kDesignCaption, kDesignToolTip},
          Case{"TextBoxCaptionTextBecomesToolTipWhenTheToolTipTextIsEmpty", K::Input, "R1827;R0003", true, true,
               kDesignCaption, "&Exportera..."},
          Case{"PlusAppendsSecondText", K::Caption, "R1861+R1808", true, true, "Koppla fält – Resurser",
               kDesignToolTip},
          Case{"PlusSecondBeginsWithMarker", K::Caption, "R1861+R0002", true, true, "Koppla fält", kDesignToolTip},
          Case{"PlusSecondAlmostMarkerIsAppended", K::Caption, "R1861+R0005", true, true, "Koppla fält<<SAKNAS",
               kDesignToolTip},
          Case{"AbsentCodesKeepDesign", K::Caption, "R7777;R7778", true, true, kDesignCaption, kDesignToolTip},
          Case{"EachCaptionPieceCutTo499", K::Caption, "R0300+R0600", true, true, k300 + std::string(499, 'y'),
               kDesignToolTip},
          Case{"PercentAndAmpersandCaption", K::Caption, "R0006+R0006", true, true,
               "100 % &Spara %s %n %1 && ;x=y100 % &Spara %s %n %1 && ;x=y", kDesignToolTip},
          Case{"ToolTipOf2000CutTo1999", K::Caption, "R0006;R2000", true, true, "100 % &Spara %s %n %1 && ;x=y",
               k2000.substr(0, 1999)},
          Case{"EmptyTagSkipped", K::Caption, "", true, false, kDesignCaption, kDesignToolTip}}) {
        SCOPED_TRACE(c.name);
        FakeControl control("c", c.kind, c.tag);
        EXPECT_EQ(texts.TextTillControl(control, c.tag, c.tooltipForInput), c.answer);
        EXPECT_EQ(std::tie(control.caption, control.toolTip), std::tie(c.caption, c.toolTip));
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MTexterTest, TextTillAndraGivesTheTextOfTheCode) {
    mTexter texts(path(), messages);
    std::vector<std::string> got;
    for (const char* code : {"R7777", "", "R0001", "R0006", "R2000"}) got.push_back(texts.TextTillAndra(code));
    // The marker is cut only behind a '+'.
    EXPECT_EQ(got,
              (std::vector<std::string>{"", "", "<<SAKNAS>>", "100 % &Spara %s %n %1 && ;x=y", k2000.substr(0, 254)}));
    EXPECT_TRUE(messages.shown.empty());
}

// A missing Lang.ini, or a folder in its place, gives empty texts and keeps
// the design, without a report; one that cannot be read is reported (root
// reads any file: then only the first two are tried).
TEST_F(MTexterTest, MissingLangIniKeepsTheDesignAndAnUnreadableOneIsReported) {
    std::filesystem::create_directory(folder.path() + "/bin");
    for (const std::string& missing : {folder.path() + "/missing/Lang.ini", folder.path() + "/bin"}) {
        SCOPED_TRACE(missing);
        mTexter texts(missing, messages);
        EXPECT_EQ(texts.TextTillAndra("R1828"), "");
        FakeForm form("R1825");
        FakeControl& button = form.add("button", K::Caption, "R1827;R1828");
        EXPECT_TRUE(texts.SetTextOfForm(form));
        // A window's title is set even when its text is empty.
        EXPECT_EQ(std::tie(form.title, button.caption, button.toolTip), std::tie("", kDesignCaption, kDesignToolTip));
    }
    EXPECT_TRUE(messages.shown.empty());
    if (::geteuid() == 0) GTEST_SKIP() << "root reads a file without permissions";
    std::filesystem::permissions(folder.write("Locked.ini", "[System]\r\nR1828=x\r\n"), std::filesystem::perms::none);
    mTexter texts(folder.file("Locked.ini"), messages);
    EXPECT_EQ(texts.TextTillAndra("R1828"), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    // The R0030 text cannot be read either, so the message starts with the blank.
    EXPECT_EQ(messages.shown[0].text, " 75 (Path/File access error) in procedure TextTillAndra in Module mTexter");
}

TEST_F(MTexterTest, SetTextOfFormAppliesTitleAndControlsInOrder) {
    mTexter texts(path(), messages);
    FakeForm form("R1825");
    FakeControl& button = form.add("button", K::Caption, "R1827;R1828");
    FakeControl& untagged = form.add("untagged", K::Caption, "");
    FakeControl& list = form.add("list", K::Input, "R1861");
    FakeControl& missing = form.add("missing", K::Caption, "R7777");
    EXPECT_TRUE(texts.SetTextOfForm(form));
    EXPECT_EQ(std::tie(form.title, button.caption, button.toolTip, untagged.caption, list.toolTip, missing.caption),
              std::tuple("Vexla Admin", "&Exportera...", "Exportera kundregistret", kDesignCaption, "Koppla fält",
                         kDesignCaption));
    EXPECT_EQ(form.log, (std::vector<std::string>{"button.caption", "button.tooltip", "list.tooltip"}));
    FakeForm untitled("");
    EXPECT_TRUE(texts.SetTextOfForm(untitled));
    EXPECT_EQ(untitled.title, "design title");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MTexterTest, RefusedTitleIsReportedAndNoControlIsTouched) {
    mTexter texts(path(), messages);
    FakeForm form("R1825");
    form.refuseTitle = true;
    FakeControl& button = form.add("button", K::Caption, "R1827;R1828");
    EXPECT_FALSE(texts.SetTextOfForm(form));
    EXPECT_EQ(button.caption, kDesignCaption);
    expectOneMessage("Fel 5 (Invalid procedure call or argument) in procedure SetTextOfForm in Module mTexter");
}

// A refused property is reported, the answer is false, the rest of that
// control's texts are not applied, and the window goes on with the next
// control.
TEST_F(MTexterTest, RefusedControlTextIsReportedAndTheWindowGoesOn) {
    struct Case {
        TextControlKind kind;
        bool refuseCaption, refuseToolTip;
        std::string message;
        std::string caption, toolTip;  // what the control shows afterwards
    };
    const std::string captionRefused =
        "Fel 438 (Object doesn't support this property or method) in procedure "
        "TextTillControl in Module mTexter";
    const std::string toolTipRefused =
        "Fel 380 (Invalid property value) in procedure TextTillControl in Module mTexter";
    mTexter texts(path(), messages);
    for (const Case& c : {Case{K::Caption, true, false, captionRefused, kDesignCaption, kDesignToolTip},
                          Case{K::Caption, false, true, toolTipRefused, "&Exportera...", kDesignToolTip},
                          Case{K::Input, false, true, toolTipRefused, kDesignCaption, kDesignToolTip}}) {
        SCOPED_TRACE(c.message);
        messages.shown.clear();
        FakeForm form("R1825");
        FakeControl& refusing = form.add("refusing", c.kind, "R1827;R1828");
        refusing.refuseCaption = c.refuseCaption;
        refusing.refuseToolTip = c.refuseToolTip;
        FakeControl& next = form.add("next", K::Caption, "R1861");

        EXPECT_FALSE(texts.TextTillControl(refusing, "R1827;R1828", true));
        expectOneMessage(c.message);
        EXPECT_EQ(std::tie(refusing.caption, refusing.toolTip), std::tie(c.caption, c.toolTip));

        messages.shown.clear();
        EXPECT_TRUE(texts.SetTextOfForm(form));
        EXPECT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(std::tie(form.title, next.caption), std::tuple("Vexla Admin", "Koppla fält"));
    }
}

// The file is read once per run: a change counts from the next start (a
// fresh mTexter), not for the next window.
TEST_F(MTexterTest, ReadsTheFileOnceAndAChangeCountsFromTheNextStart) {
    mTexter texts(path(), messages);
    FakeForm first("R1825"), second("R1825"), afterRestart("R1825");
    texts.SetTextOfForm(first);
    std::vector<std::string> changed = baseLangIni();
    changed[3] = "R1825=Nytt namn";
    folder.write("Lang.ini", testing::cp1252Lines(changed));
    texts.SetTextOfForm(second);
    mTexter restarted(path(), messages);
    restarted.SetTextOfForm(afterRestart);
    EXPECT_EQ(std::tie(first.title, second.title, afterRestart.title),
              std::tuple("Vexla Admin", "Vexla Admin", "Nytt namn"));
}

// mTexter on real widgets. Buttons, frames, labels and the title get their
// texts in the main window's start-up test; here the kinds that take no
// caption and the controls left out.
struct WidgetTexts : MTexterTest {
    static void SetUpTestSuite() { testing::ensureQApplication(); }
};

TEST_F(WidgetTexts, InputsAndTabsTakeNoCaptionAndUntaggedControlsAreLeftOut) {
    mTexter texts(path(), messages);
    QDialog window;
    auto* list = new QListWidget(&window);
    list->setProperty("tag", QStringLiteral("R1861"));
    auto* tabs = new QTabWidget(&window);
    tabs->setProperty("tag", QStringLiteral("R1827"));
    tabs->setToolTip(QStringLiteral("design"));
    auto* untagged = new QLabel(QStringLiteral("design"), &window);

    WidgetTextForm form(&window, {list, nullptr, tabs, untagged});
    ASSERT_EQ(form.controlCount(), 3u);
    EXPECT_TRUE(texts.SetTextOfForm(form));
    EXPECT_EQ(list->toolTip(), QString::fromUtf8("Koppla fält"));
    EXPECT_EQ(tabs->toolTip(), QStringLiteral("design"));
    EXPECT_EQ(untagged->text(), QStringLiteral("design"));
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace vexla
