#include "texts/qt/widget_texts.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"
#include "texts/mtexter.h"

namespace vexla {
namespace {

class WidgetTexts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { vexla::testing::ensureQApplication(); }
    testing::TempFolder folder;
    const std::string ini = folder.file("Lang.ini");
    testing::FakeMessageBoxes messages;
    void langIni(const std::vector<std::string>& lines) { folder.write("Lang.ini", testing::cp1252Lines(lines)); }
};

// Buttons, frames, labels and the title get their texts in the main window's
// start-up test; here the kinds that take no caption, and the controls left out.
TEST_F(WidgetTexts, MTexterPlacesTextsOnRealWidgets) {
    langIni({"[System]", "R0030=Fel", "R1827=&Exportera...", "R1874=Databasens fält"});
    mTexter texts(ini, messages);

    QDialog window;
    auto* list = new QListWidget(&window);
    list->setProperty("tag", QStringLiteral("R1874"));
    auto* tabs = new QTabWidget(&window);
    tabs->setProperty("tag", QStringLiteral("R1827"));
    tabs->setToolTip(QStringLiteral("design"));
    auto* untagged = new QLabel(QStringLiteral("design"), &window);

    WidgetTextForm form(&window, {list, nullptr, tabs, untagged});
    ASSERT_EQ(form.controlCount(), 3u);
    EXPECT_TRUE(texts.SetTextOfForm(form));

    EXPECT_EQ(list->toolTip(), QStringLiteral("Databasens fält"));
    EXPECT_EQ(tabs->toolTip(), QStringLiteral("design"));
    EXPECT_EQ(untagged->text(), QStringLiteral("design"));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(WidgetTexts, AWidgetWithoutCaptionRefusesOne) {
    langIni({"[System]", "R0030=Fel", "R1826=Kunder", "R1828=Tips"});
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
