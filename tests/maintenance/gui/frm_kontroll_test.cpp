// The check dialog on a damaged database, clicked as a user would: the
// answer at a glance, the engine's own lines only under Details, and the
// chosen backup still chosen after it is put back.
#include "maintenance/gui/frm_kontroll.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/maintenance/job_test_support.h"
#include "tests/support/qt_app.h"
#include "texts/mtexter.h"

namespace vexla {
namespace {

struct CheckDialogTest : ::testing::Test {
    testing::JobWorld w;
    std::string backup = w.dir.file("Vexla2026-12-01.db");
    std::unique_ptr<mTexter> texts;
    std::unique_ptr<frmKontroll> d;

    void SetUp() override {
        testing::ensureQApplication();
        std::filesystem::copy_file(w.db, backup);
        // A page in the middle of the file overwritten.
        std::fstream f(w.db, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(std::filesystem::file_size(w.db) / 2 / 4096 * 4096));
        f.write(std::string(4096, '\xff').data(), 4096);
        f.close();
        w.dir.write("Lang.ini", testing::cp1252Lines({"[System]", "R9383=&Rädda rader...", "R9787=&Detaljer"}));
        texts = std::make_unique<mTexter>(w.dir.file("Lang.ini"), w.fakes.messages);
        d = std::make_unique<frmKontroll>(nullptr, *texts, [this] { return w.ctx; });
        d->Form_Load();
    }

    // Everything the main view shows: the report and every cell of the table.
    std::string mainView() const {
        std::string text = d->txtResultat->toPlainText().toStdString();
        for (int r = 0; r < d->tblKontroll->rowCount(); ++r)
            for (int c = 0; c < d->tblKontroll->columnCount(); ++c)
                text += "\n" + d->tblKontroll->item(r, c)->text().toStdString();
        return text;
    }
};

// The check's answer: a table whose damaged rows say so in a word and a
// colour apart from the whole ones, advice that names the rescue button,
// and the engine's lines under Details, hidden until asked for.
TEST_F(CheckDialogTest, TheCheckAnswersWithATableAndKeepsTheEngineLinesUnderDetails) {
    d->cmdKontrollera_Click();
    ASSERT_GT(d->tblKontroll->rowCount(), 3);
    std::map<std::string, QColor> colourOf;
    for (int r = 0; r < d->tblKontroll->rowCount(); ++r)
        colourOf[d->tblKontroll->item(r, 3)->text().toStdString()] = d->tblKontroll->item(r, 3)->background().color();
    ASSERT_TRUE(colourOf.count("R9784") && colourOf.count("R9785"));
    EXPECT_NE(colourOf["R9784"], colourOf["R9785"]);

    const std::string shown = mainView(), details = d->txtDetaljer->toPlainText().toStdString();
    EXPECT_NE(shown.find("R9788 \"Rädda rader\"."), std::string::npos) << shown;
    for (const char* engine : {"***", "btreeInitPage", "sqlite_autoindex", "R9443"}) {
        EXPECT_EQ(shown.find(engine), std::string::npos) << engine << " in\n" << shown;
    }
    EXPECT_NE(details.find("***"), std::string::npos) << details;
    EXPECT_TRUE(d->txtDetaljer->isHidden());
    d->cmdDetaljer->click();
    EXPECT_FALSE(d->txtDetaljer->isHidden());
}

// After a restore the new backup of the replaced file comes first in the
// list; the backup put back stays chosen, so the button still means it.
TEST_F(CheckDialogTest, TheChosenBackupStaysChosenAfterTheRestore) {
    ASSERT_EQ(d->backups().size(), 1u);
    w.fakes.messages.answers = {MsgAnswer::Yes};
    d->cmdÅterställ_Click();
    ASSERT_EQ(d->backups().size(), 2u);
    const int row = d->lstSäkerhetskopior->currentRow();
    ASSERT_GE(row, 0);
    EXPECT_EQ(d->backups()[static_cast<std::size_t>(row)].path, backup);
}

}  // namespace
}  // namespace vexla
