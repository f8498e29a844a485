#include "texts/qt/widget_texts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextEdit>

#include <functional>
#include <memory>

#include "tests/support/qt_app.h"
#include "tests/texts/texts_test_support.h"
#include "texts/mtexter.h"

namespace vexla {
namespace {

using testing_support::RecordingMessageBoxes;
using testing_support::TempFolder;
using testing_support::writeLangIni;

class WidgetTexts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { vexla::testing::ensureQApplication(); }
    TempFolder folder;
    const std::string ini = folder.path() + "/Lang.ini";
    RecordingMessageBoxes messages;
};

struct KindCase {
    const char* name;
    std::function<QWidget*()> make;
    TextControlKind kind;
};

void PrintTo(const KindCase& c, std::ostream* os) { *os << c.name; }

class WidgetKinds : public WidgetTexts, public ::testing::WithParamInterface<KindCase> {};

TEST_P(WidgetKinds, FollowTheClass) {
    std::unique_ptr<QWidget> widget(GetParam().make());
    EXPECT_EQ(textControlKindOf(*widget), GetParam().kind);
}

using K = TextControlKind;

INSTANTIATE_TEST_SUITE_P(
    Table, WidgetKinds,
    ::testing::Values(KindCase{"PushButton", [] { return new QPushButton; }, K::Caption},
                    KindCase{"Label", [] { return new QLabel; }, K::Caption},
                    KindCase{"LineEdit", [] { return new QLineEdit; }, K::Input},
                    KindCase{"TextEdit", [] { return new QTextEdit; }, K::Input},
                    KindCase{"PlainTextEdit", [] { return new QPlainTextEdit; }, K::Input},
                    KindCase{"ListWidget", [] { return new QListWidget; }, K::Input},
                    KindCase{"ComboBox", [] { return new QComboBox; }, K::Input},
                    KindCase{"SpinBox", [] { return new QSpinBox; }, K::Input},
                    KindCase{"ScrollBar", [] { return new QScrollBar; }, K::Input},
                    KindCase{"TabWidget", [] { return new QTabWidget; }, K::Tabs}),
    [](const ::testing::TestParamInfo<KindCase>& info) { return std::string(info.param.name); });

TEST_F(WidgetTexts, MTexterPlacesTextsOnRealWidgets) {
    writeLangIni(ini, {"[System]", "R0030=Fel", "R1825=Vexla Admin – fönster", "R1827=&Exportera...",
                       "R1828=Exportera kundregistret", "R1826=Kunder", "R1852=Databas:", "R1874=Databasens fält"});
    mTexter texts(ini, messages);

    QDialog window;
    window.setProperty("tag", QStringLiteral("R1825"));
    auto* button = new QPushButton(QStringLiteral("design"), &window);
    button->setProperty("tag", QStringLiteral("R1827;R1828"));
    auto* frame = new QGroupBox(QStringLiteral("design"), &window);
    frame->setProperty("tag", QStringLiteral("R1826"));
    auto* label = new QLabel(QStringLiteral("design"), &window);
    label->setProperty("tag", QStringLiteral("R1852"));
    auto* list = new QListWidget(&window);
    list->setProperty("tag", QStringLiteral("R1874"));
    auto* tabs = new QTabWidget(&window);
    tabs->setProperty("tag", QStringLiteral("R1827"));
    tabs->setToolTip(QStringLiteral("design"));
    auto* untagged = new QLabel(QStringLiteral("design"), &window);

    WidgetTextForm form(&window, {button, nullptr, frame, label, list, tabs, untagged});
    ASSERT_EQ(form.controlCount(), 6u);
    EXPECT_TRUE(texts.SetTextOfForm(form));

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Vexla Admin \u2013 fönster"));
    EXPECT_EQ(button->text(), QStringLiteral("&Exportera..."));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Exportera kundregistret"));
    EXPECT_EQ(frame->title(), QStringLiteral("Kunder"));
    EXPECT_EQ(label->text(), QStringLiteral("Databas:"));
    EXPECT_EQ(list->toolTip(), QStringLiteral("Databasens fält"));
    EXPECT_EQ(tabs->toolTip(), QStringLiteral("design"));
    EXPECT_EQ(untagged->text(), QStringLiteral("design"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WidgetTexts, AWidgetWithoutCaptionRefusesOne) {
    writeLangIni(ini, {"[System]", "R0030=Fel", "R1826=Kunder", "R1828=Tips"});
    mTexter texts(ini, messages);

    QDialog window;
    auto* picture = new QFrame(&window);
    picture->setProperty("tag", QStringLiteral("R1826;R1828"));
    auto* after = new QPushButton(&window);
    after->setProperty("tag", QStringLiteral("R1826"));
    WidgetTextForm form(&window, {picture, after});
    EXPECT_TRUE(texts.SetTextOfForm(form));

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Fel 438 (Object doesn't support this property or method) in procedure TextTillControl in Module mTexter");
    EXPECT_TRUE(picture->toolTip().isEmpty());  // the rest of its texts are not applied
    EXPECT_EQ(after->text(), QStringLiteral("Kunder"));
}

}  // namespace
}  // namespace vexla
