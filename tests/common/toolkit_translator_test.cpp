// The toolkit's own texts follow the program's language: the Swedish build
// words the standard buttons and the file dialog's labels in Swedish, from
// the toolkit's catalogue (qt6-translations-l10n) and, where it has none,
// from the language file; the English build translates nothing.
#include "common/qt/toolkit_translator.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>

#include <filesystem>
#include <tuple>

#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

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

// The file dialog of the Swedish build words its type column in Swedish, a
// folder's and the root's alike: none is left in the toolkit's English.
TEST(ToolkitTranslator, TheSwedishFileDialogsTypeColumnHasNoEnglishWord) {
    testing::ensureQApplication();
    testing::TempFolder dir;
    std::filesystem::create_directory(dir.file("Arkiv"));
    testing::BracketTexts texts;
    ToolkitTranslator swedish;
    ASSERT_TRUE(swedish.loadFor("se", texts));
    QCoreApplication::installTranslator(&swedish);
    QFileDialog dialog(nullptr, {}, QString::fromStdString(dir.path()));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.show();
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    for (const auto& [path, want] : {std::pair{dir.file("Arkiv"), "[R9830]"}, {std::string("/"), "[R9831]"}}) {
        const QModelIndex shown = model->index(QString::fromStdString(path));
        // The model learns a file's type on its own thread.
        for (int i = 0; i < 300 && model->type(shown).isEmpty(); ++i)
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_EQ(model->type(shown).toStdString(), want) << path;
    }
    QCoreApplication::removeTranslator(&swedish);
}

}  // namespace
}  // namespace vexla
