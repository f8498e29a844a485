// Drives the real file dialog offscreen: a timer finds the modal dialog,
// types into its file name box and presses its accept button, and answers
// the message boxes it raises.
#include "common/qt/qt_file_dialog_host.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/open_save_dialog.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

namespace vexla {
namespace {

using namespace std::string_literals;

class DialogDriver {
public:
    std::optional<QString> typed;  // nullopt: cancel at once; empty: accept what is shown
    std::deque<QMessageBox::StandardButton> answers;
    std::vector<QString> messages;
    std::optional<std::string> seen;  // the dialog's title|folder|file name|filters|open or save
    bool stayedOpen = false;          // the dialog refused the choice and was cancelled

    DialogDriver() {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(10);
    }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            messages.push_back(box->text());
            QAbstractButton* button = answers.empty() ? box->escapeButton() : box->button(answers.front());
            if (!answers.empty()) answers.pop_front();
            if (!button) button = box->defaultButton();
            if (!button && !box->buttons().isEmpty()) button = box->buttons().first();
            if (button) button->click();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (!dialog) return;
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!seen)
            seen = QStringList{dialog->windowTitle(), dialog->directory().absolutePath(), edit->text(),
                               dialog->nameFilters().join(";"), dialog->acceptMode() ? "save" : "open"}
                       .join("|")
                       .toStdString();
        if (accepted_ || !typed) {
            stayedOpen = accepted_;
            dialog->reject();
            return;
        }
        accepted_ = true;
        if (!typed->isEmpty()) edit->setText(*typed);
        // The click is queued: a message box it raises runs a nested event
        // loop, and a timer does not fire again inside its own handler.
        auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        for (QAbstractButton* b : buttons->buttons())
            if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
                QMetaObject::invokeMethod(b, &QAbstractButton::click, Qt::QueuedConnection);
    }

    QTimer timer_;
    bool accepted_ = false;
};

// The real dialog's host, its scratch folder and the driver that answers it.
class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testing::ensureQApplication(); }
    testing::TempFolder folder;
    testing::CodeTexts texts;
    QtFileDialogHost host{nullptr, texts};
    testing::FakeMessageBoxes failures;
    DialogDriver driver;
};

constexpr std::uint32_t kImport = 0x201804;  // HideReadOnly, PathMustExist, FileMustExist, LongNames
constexpr std::uint32_t kExport = 0x200804;  // HideReadOnly, PathMustExist, LongNames
constexpr std::uint32_t kCopy = 0x282806;    // + OverwritePrompt, CreatePrompt, Explorer

struct ChoiceCase {
    const char* name;
    std::int16_t saveMode;
    std::uint32_t flags;
    std::vector<std::string> existing;  // files in the dialog's folder
    std::string defaultName;
    std::optional<std::string> typed;  // relative to the folder
    std::vector<QMessageBox::StandardButton> answers;
    const char* wantFile;     // nullptr: no choice
    const char* wantMessage;  // a text the one message shown must hold; nullptr: none shown
    bool wantStayedOpen;
};

std::ostream& operator<<(std::ostream& os, const ChoiceCase& c) { return os << c.name; }

class FileDialogChoice : public HostTest, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(FileDialogChoice, ReturnsWhatTheUserChoseUnderTheFlags) {
    const ChoiceCase& c = GetParam();
    for (const std::string& f : c.existing) folder.write(f, "x");
    if (c.typed) driver.typed = QString::fromStdString(c.typed->empty() ? "" : folder.file(*c.typed));
    driver.answers.assign(c.answers.begin(), c.answers.end());

    const std::string got = OpenSaveDialog(host, failures, c.saveMode, c.flags, "Databas (*.db)|*.db", "Välj",
                                           folder.path(), c.defaultName);

    EXPECT_EQ(got, c.wantFile ? folder.file(c.wantFile) : "");
    EXPECT_EQ(driver.seen,
              "Välj|" + folder.path() + "|" + c.defaultName + "|Databas (*.db)|" + (c.saveMode ? "save" : "open"));
    EXPECT_EQ(driver.messages.size(), c.wantMessage ? 1u : 0u);
    for (const QString& m : driver.messages)
        EXPECT_TRUE(m.contains(QString::fromUtf8(c.wantMessage))) << m.toStdString();
    EXPECT_EQ(driver.stayedOpen, c.wantStayedOpen);
    EXPECT_TRUE(failures.shown.empty());
}

using B = QMessageBox::StandardButton;

INSTANTIATE_TEST_SUITE_P(
    Choices, FileDialogChoice,
    ::testing::Values(
        ChoiceCase{"open_existing", 0, kImport, {"bok.db"}, "", "bok.db", {}, "bok.db", nullptr, false},
        ChoiceCase{"open_missing_refused", 0, kImport, {"bok.db"}, "", "saknas.db", {}, nullptr, nullptr, true},
        ChoiceCase{"open_missing_unflagged", 0, ofn::HideReadOnly, {}, "", "ny.db", {}, "ny.db", nullptr, false},
        ChoiceCase{"save_overwrite_yes", -1, kCopy, {"Copy.db"}, "", "Copy.db", {B::Yes}, "Copy.db", "Copy.db", false},
        ChoiceCase{"save_overwrite_no", -1, kCopy, {"Copy.db"}, "", "Copy.db", {B::No}, nullptr, "Copy.db", true},
        ChoiceCase{"save_existing", -1, kExport, {"KundReg.skv"}, "", "KundReg.skv", {}, "KundReg.skv", nullptr, false},
        ChoiceCase{"save_create_yes", -1, kCopy, {}, "", "Interval.db", {B::Yes}, "Interval.db", "\nR9011?", false},
        ChoiceCase{"save_create_no", -1, kCopy, {}, "", "Interval.db", {B::No}, nullptr, "\nR9011?", true},
        ChoiceCase{"missing_folder_refused", -1, kExport, {}, "", "saknas/KundReg.skv", {}, nullptr, "R9010: ", true},
        ChoiceCase{
            "no_folder_unflagged", -1, 0, {}, "", "saknas/KundReg.skv", {}, "saknas/KundReg.skv", nullptr, false},
        ChoiceCase{"default_name_accepted", -1, kExport, {}, "ResursReg.skv", "", {}, "ResursReg.skv", nullptr, false},
        ChoiceCase{"cancel", 0, kImport, {"bok.db"}, "", std::nullopt, {}, nullptr, nullptr, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A chosen path must fit the 254-character buffer.
class ChosenPath : public HostTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ChosenPath, MustFitTheBuffer) {
    // folder / <subfolders> / f.db, the subfolders' names (each within a
    // file system's 255-byte limit) chosen for the whole length
    std::size_t padding = GetParam() - folder.path().size() - 6;
    std::string subfolders;
    for (; padding > 200; padding -= 201) subfolders += std::string(200, 'q') + "/";
    const std::string path = folder.write(subfolders + std::string(padding, 'p') + "/f.db", "x");
    ASSERT_EQ(path.size(), GetParam());
    driver.typed = QString::fromStdString(path);
    EXPECT_EQ(OpenSaveDialog(host, failures, 0, kImport, "Databas (*.db)|*.db", "Välj", folder.path(), ""),
              GetParam() <= 254 ? path : "");
    EXPECT_TRUE(driver.messages.empty());
    EXPECT_FALSE(driver.stayedOpen);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ChosenPath, ::testing::Values(254, 255));

TEST(QtNameFilters, PairDescriptionsWithPatterns) {
    using Row = std::pair<std::string, QStringList>;
    for (const auto& [list, want] :
         {Row{"Registerfil (*.skv)\0*.skv\0"s, {"Registerfil (*.skv)"}},  // patterns already shown
          Row{"Databas\0*.db\0"s, {"Databas (*.db)"}},                    // patterns added
          Row{"Alla filer\0*.*\0"s, {"Alla filer (*)"}},
          Row{"Bilder (*.png;*.jpg)\0*.png;*.jpg\0"s, {"Bilder (*.png *.jpg)"}},
          Row{"Text (*.txt)\0*.skv\0"s, {"Text (*.txt) (*.skv)"}},  // other patterns shown
          Row{"A\0*.a\0B\0*.b\0\0"s, {"A (*.a)", "B (*.b)"}},
          Row{"A\0\0B\0*.b\0"s, {"B (*.b)"}},  // a pair without a pattern is dropped
          Row{"\0*.x\0"s, {}}}) {              // an empty entry ends the list
        EXPECT_EQ(qtNameFilters(list), want) << list;
    }
}

}  // namespace
}  // namespace vexla
