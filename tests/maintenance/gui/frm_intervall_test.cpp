// The interval dialog driven as a user would, and the translation of the
// locale's pictures into the pickers' display format.
#include "maintenance/gui/frm_intervall.h"

#include <QCoreApplication>
#include <QDateTimeEdit>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>

#include <gtest/gtest.h>

#include "tests/maintenance/gui/dialog_test_support.h"
#include "tests/support/dialog_world.h"

namespace vexla {
namespace {

// Each picture of the locale turned into Qt's display format; where Qt has
// the same tokens, Qt shows a time exactly as the locale's picture does.
TEST(IntervalPictureTranslation, GivesQtTheSamePicture) {
    struct Case {
        const char* picture;
        const char* qt;
        bool rendersAlike;  // false where Qt has no such token
    };
    const DateTime t{2026, 3, 7, 15, 4, 9};
    const QDateTime q(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second));
    for (const Case& c :
         {Case{"yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm", true}, Case{"dd.MM.yy hh:mm tt", "dd.MM.yy hh:mm AP", true},
          Case{"M/d/yyyy h:mm t", "M/d/yyyy h:mm A", false}, Case{"d/M/y H:mm", "d/M/yy H:mm", false},
          Case{"HH:mm z", "HH:mm 'z'", true}, Case{"HH'h'mm", "HH'h'mm", true},
          Case{"'o''clock' H", "'o''clock' H", true}, Case{"HH 'h", "HH 'h'", true},
          Case{"yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'", "yyyy'\xE5\xB9\xB4'M'\xE6\x9C\x88'd'\xE6\x97\xA5'",
               true},
          Case{"", "", true}}) {
        SCOPED_TRACE(c.picture);
        EXPECT_EQ(qtDisplayFormat(c.picture), c.qt);
        if (c.rendersAlike) {
            EXPECT_EQ(QLocale::c().toString(q, QString::fromUtf8(c.qt)).toStdString(), formatPicture(t, c.picture));
        }
    }
}

struct IntervalDialogTest : ::testing::Test, testing::DialogWorld {
    CTid tid{fakes.locale, fakes.messages, texts};
    std::unique_ptr<QWidget> owner;
    std::unique_ptr<frmIntervall> d;

    void SetUp() override {
        dir.write("Lang.ini",
                  "[System]\r\nR1853=Intervall f\xF6r kopian\r\nR0969=F\xF6rsta starttid:\r\n"
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
    EXPECT_EQ(d->windowIcon().cacheKey(), owner->windowIcon().cacheKey());
    EXPECT_EQ(d->DTPStartTid(), (DateTime{2027, 3, 28, 8, 0, 0}));
    EXPECT_EQ(d->DTPSlutTid(), (DateTime{2027, 3, 28, 17, 0, 0}));
    EXPECT_EQ(d->DTPSlutTidPicker->text(), QStringLiteral("3/28/2027 5:00 PM"));
}

TEST_F(IntervalDialogTest, RefusesAnEndThatIsNotLaterThanTheStart) {
    // The start stays at 08:00 on the clock's day.
    for (const auto& [end, accepted] : {std::pair<DateTime, bool>{{2027, 3, 28, 8, 0, 0}, false},
                                        {{2027, 3, 27, 17, 0, 0}, false},
                                        {{2027, 3, 28, 8, 1, 0}, true}}) {
        SCOPED_TRACE(formatPicture(end, "yyyy-MM-dd HH:mm"));
        fakes.messages.shown.clear();
        fakes.messages.beeps = 0;
        d->unload();
        d->Form_Load();
        d->show();
        d->DTPSlutTidPicker->setDateTime(
            QDateTime(QDate(end.year, end.month, end.day), QTime(end.hour, end.minute), Qt::UTC));
        d->cmdOk->click();
        if (accepted) {
            EXPECT_EQ(d->tag(), "OK");
            EXPECT_TRUE(fakes.messages.shown.empty());
            continue;
        }
        EXPECT_EQ(d->tag(), "");
        EXPECT_TRUE(d->isVisible()) << "the dialog stays for a correction";
        EXPECT_EQ(fakes.messages.beeps, 1);
        const testing::ShownBox box{"Fel ordning!", kProgramTitle, MsgIcon::Critical, MsgButtons::Ok};
        EXPECT_EQ(fakes.messages.shown, std::vector<testing::ShownBox>{box});
        d->hide();
    }
}

// The tag names how the dialog was left; the close box names nothing and
// leaves the tag and the values alone until the dialog is unloaded.
TEST_F(IntervalDialogTest, TagNamesHowTheDialogWasLeftUntilUnloaded) {
    const auto escape = [&] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(d.get(), &esc);
    };
    for (const auto& [leave, tag] : std::vector<std::pair<std::function<void()>, const char*>>{
             {[&] { d->cmdAvbryt->click(); }, "Avbryt"}, {escape, "Avbryt"}}) {
        d->unload();
        EXPECT_EQ(show(leave), tag);
    }
    d->unload();
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

}  // namespace
}  // namespace vexla
