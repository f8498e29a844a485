// The toolkit's own texts follow the program's language: the Swedish build
// words the standard buttons and the file dialog's labels in Swedish, from
// the toolkit's catalogue (qt6-translations-l10n) and, where it has none,
// from the language file; the English build translates nothing.
#include "common/qt/toolkit_translator.h"

#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/fake_platform.h"

namespace vexla {
namespace {

TEST(ToolkitTranslator, SwedishForTheSwedishBuildNothingForTheEnglish) {
    testing::BracketTexts texts;
    ToolkitTranslator swedish;
    ASSERT_TRUE(swedish.loadFor("se", texts)) << "the toolkit's qt_sv catalogue is not installed";
    using Row = std::tuple<const char*, const char*, const char*>;
    for (const auto& [context, source, want] :
         {Row{"QPlatformTheme", "Cancel", "Avbryt"}, Row{"QPlatformTheme", "&Yes", "&Ja"},
          Row{"QPlatformTheme", "Open", "Öppna"}, Row{"QFileDialog", "File &name:", "Fil&namn:"},
          Row{"QFileDialog", "Look in:", "[R9563]"}, Row{"QFileSystemModel", "Computer", "[R9567]"},
          Row{"QFileDialog", "No such text", ""}})
        EXPECT_EQ(swedish.translate(context, source).toStdString(), want) << context << " " << source;

    ToolkitTranslator english;
    EXPECT_FALSE(english.loadFor("en", texts));
    EXPECT_TRUE(english.isEmpty());
    EXPECT_EQ(english.translate("QPlatformTheme", "Cancel").toStdString(), "");
}

}  // namespace
}  // namespace vexla
