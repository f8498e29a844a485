// The interval dialog driven as a user would, and the translation of the
// locale's pictures into the pickers' display format.
#include "db/gui/frm_intervall.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>

#include <gtest/gtest.h>

#include "tests/db/gui/dialog_test_support.h"
#include "tests/support/fake_platform.h"
#include "tests/support/qt_app.h"

namespace vexla {
namespace {

struct PictureCase {
    const char* picture;
    const char* qt;
    bool rendersAlike;  // Qt shows what the locale would; false where Qt has no such token
};

class IntervalPictureTranslation : public ::testing::TestWithParam<PictureCase> {};

TEST_P(IntervalPictureTranslation, GivesQtTheSamePicture) {
    const PictureCase& c = GetParam();
    EXPECT_EQ(qtDisplayFormat(c.picture), c.qt);
    if (!c.rendersAlike) return;
    const DateTime t{2026, 3, 7, 15, 4, 9};
    const QDateTime q(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
    EXPECT_EQ(QLocale::c().toString(q, QString::fromUtf8(c.qt)).toStdString(), formatPicture(t, c.picture));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, IntervalPictureTranslation,
    ::testing::Values(PictureCase{"yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm", true},
                      PictureCase{"dd.MM.yy hh:mm tt", "dd.MM.yy hh:mm AP", true},
                      PictureCase{"M/d/yyyy h:mm t", "M/d/yyyy h:mm A", false},
                      PictureCase{"d/M/y H:mm", "d/M/yy H:mm", false},
                      PictureCase{"HH:mm z", "HH:mm 'z'", true},
                      PictureCase{"HH'h'mm", "HH'h'mm", true},
                      PictureCase{"'o''clock' H", "'o''clock' H", true},
                      PictureCase{"HH 'h", "HH 'h'", true},
                      PictureCase{"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'",
                                  "yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", true},
                      PictureCase{"", "", true}),
    [](const auto& info) { return "Picture" + std::to_string(info.index); });

struct IntervalDialogTest : ::testing::Test {
    testing::TempFolder dir;
    testing::FakePlatform fakes;
    Platform platform = fakes.platform(dir.path());
    mTexter texts{dir.file("Lang.ini"), fakes.messages};
    CTid tid{fakes.locale, fakes.messages, texts};
    std::unique_ptr<QWidget> owner;
    std::unique_ptr<frmIntervall> d;

    void SetUp() override {
        testing::ensureQApplication();
        dir.write("Lang.ini", "[System]\r\nR1853=Intervall f\xF6r kopian\r\nR0969=F\xF6rsta starttid:\r\n"
                              "R1418=Sista starttid:\r\nR0898=&OK\r\nR1048=&Avbryt\r\nR1795=Fel ordning\r\n");
        fakes.clock.time = {2027, 3, 28, 2, 30, 45};
        QPixmap icon(16, 16);
        icon.fill(Qt::red);
        owner = std::make_unique<QWidget>();
        owner->setWindowIcon(QIcon(icon));
        d = std::make_unique<frmIntervall>(owner.get(), platform, texts, tid);
    }

    std::string show(std::function<void()> act) {
        return testing::whileShown(*d, std::move(act), [&] { return d->showModal(); });
    }
};

TEST_F(IntervalDialogTest, LoadAppliesTextsIconLocaleFormatAndTheWorkingDayOfToday) {
    fakes.locale.values[LocaleItem::ShortDate] = "M/d/yyyy";
    fakes.locale.values[LocaleItem::TimeFormat] = "h:mm:ss tt";
    d->Form_Load();
    EXPECT_EQ(d->DTPStartTidPicker->displayFormat(), QStringLiteral("M/d/yyyy h:mm A"));
    EXPECT_EQ(d->DTPSlutTidPicker->displayFormat(), QStringLiteral("M/d/yyyy h:mm A"));
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Intervall för kopian"));
    EXPECT_EQ(d->Label1[0]->text(), QString::fromUtf8("Första starttid:"));
    EXPECT_EQ(d->Label1[1]->text(), QStringLiteral("Sista starttid:"));
    EXPECT_EQ(d->cmdOk->text(), QStringLiteral("&OK"));
    EXPECT_EQ(d->cmdAvbryt->text(), QStringLiteral("&Avbryt"));
    EXPECT_EQ(d->DTPStartTidPicker->toolTip().toStdString(), "Tid f\xC3\xB6r f\xC3\xB6rsta bokning som ska finnas med");
    EXPECT_EQ(d->DTPSlutTidPicker->toolTip().toStdString(), "Tid f\xC3\xB6r sista bokning som ska finnas med");
    EXPECT_EQ(d->windowIcon().cacheKey(), owner->windowIcon().cacheKey());
    EXPECT_EQ(d->DTPStartTid(), (DateTime{2027, 3, 28, 8, 0, 0}));
    EXPECT_EQ(d->DTPSlutTid(), (DateTime{2027, 3, 28, 17, 0, 0}));
    EXPECT_EQ(d->DTPSlutTidPicker->text(), QStringLiteral("3/28/2027 5:00 PM"));
}

struct IntervalCase {
    const char* name;
    DateTime end;  // the start stays at 08:00 on the clock's day
    bool accepted;
};

struct IntervalDialogCheck : IntervalDialogTest, ::testing::WithParamInterface<IntervalCase> {};

TEST_P(IntervalDialogCheck, RefusesAnEndThatIsNotLaterThanTheStart) {
    d->Form_Load();
    d->show();
    const DateTime& e = GetParam().end;
    d->DTPSlutTidPicker->setDateTime(QDateTime(QDate(e.year, e.month, e.day), QTime(e.hour, e.minute), Qt::UTC));
    d->cmdOk->click();
    if (GetParam().accepted) {
        EXPECT_EQ(d->tag(), "OK");
        EXPECT_FALSE(d->isVisible());
        EXPECT_EQ(fakes.messages.beeps, 0);
        EXPECT_TRUE(fakes.messages.shown.empty());
        return;
    }
    EXPECT_EQ(d->tag(), "");
    EXPECT_TRUE(d->isVisible()) << "the dialog stays for a correction";
    EXPECT_EQ(fakes.messages.beeps, 1);
    ASSERT_EQ(fakes.messages.shown.size(), 1u);
    EXPECT_EQ(fakes.messages.shown[0].text, "Fel ordning!");
    EXPECT_EQ(fakes.messages.shown[0].title, kProgramTitle);
    EXPECT_EQ(fakes.messages.shown[0].icon, MsgIcon::Critical);
    EXPECT_EQ(fakes.messages.shown[0].buttons, MsgButtons::Ok);
    d->hide();
}

INSTANTIATE_TEST_SUITE_P(Ends, IntervalDialogCheck,
                         ::testing::Values(IntervalCase{"Equal", {2027, 3, 28, 8, 0, 0}, false},
                                           IntervalCase{"DayEarlier", {2027, 3, 27, 17, 0, 0}, false},
                                           IntervalCase{"MinuteLater", {2027, 3, 28, 8, 1, 0}, true}),
                         [](const auto& info) { return std::string(info.param.name); });

enum class Leave { Ok, Cancel, Escape, CloseBox };

struct TagCase {
    const char* name;
    Leave leave;
    const char* tag;
};

struct IntervalDialogTags : IntervalDialogTest, ::testing::WithParamInterface<TagCase> {};

TEST_P(IntervalDialogTags, NameHowTheDialogWasLeft) {
    const std::string tag = show([&] {
        switch (GetParam().leave) {
            case Leave::Ok: d->cmdOk->click(); break;
            case Leave::Cancel: d->cmdAvbryt->click(); break;
            case Leave::Escape: {
                QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QCoreApplication::sendEvent(d.get(), &esc);
                break;
            }
            case Leave::CloseBox: d->close(); break;
        }
    });
    EXPECT_EQ(tag, GetParam().tag);
}

INSTANTIATE_TEST_SUITE_P(Ways, IntervalDialogTags,
                         ::testing::Values(TagCase{"Ok", Leave::Ok, "OK"}, TagCase{"Cancel", Leave::Cancel, "Avbryt"},
                                           TagCase{"Escape", Leave::Escape, "Avbryt"},
                                           TagCase{"CloseBox", Leave::CloseBox, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(IntervalDialogTest, ValuesAndTagOutliveTheShowingUntilUnloaded) {
    const DateTime early{2027, 3, 28, 6, 45, 0};
    EXPECT_EQ(show([&] {
                  d->DTPStartTidPicker->setDateTime(QDateTime(QDate(2027, 3, 28), QTime(6, 45, 30), Qt::UTC));
                  d->cmdOk->click();
              }),
              "OK");
    EXPECT_EQ(d->DTPStartTid(), early) << "seconds are not part of a start time";
    EXPECT_EQ(show([&] { d->close(); }), "OK") << "the close box leaves the tag alone";
    EXPECT_EQ(d->DTPStartTid(), early);
    d->unload();
    EXPECT_EQ(show([&] { d->close(); }), "");
    EXPECT_EQ(d->DTPStartTid(), (DateTime{2027, 3, 28, 8, 0, 0}));
}

class IntervalDialogKeyboard : public IntervalDialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(IntervalDialogKeyboard, ButtonsHaveAccessKeysAndTabFollowsTheLayout) {
    mTexter installed{testing::sourceLangIni(GetParam()), fakes.messages};
    frmIntervall dialog(nullptr, platform, installed, tid);
    dialog.Form_Load();
    testing::expectDistinctAccessKeys({dialog.cmdOk, dialog.cmdAvbryt});
    testing::expectTabOrder({dialog.DTPStartTidPicker, dialog.DTPSlutTidPicker, dialog.cmdOk, dialog.cmdAvbryt});
    EXPECT_TRUE(dialog.cmdOk->isDefault());
}

INSTANTIATE_TEST_SUITE_P(Languages, IntervalDialogKeyboard, ::testing::Values("se", "en"));

}  // namespace
}  // namespace vexla
