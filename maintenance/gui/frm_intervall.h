// The interval dialog of the copy job: the first and the last start time of
// the bookings the copy keeps. The pickers show dates and times the way the
// user's locale writes them; the job reads their values after the dialog
// has hidden itself.
#pragma once

#include <QDialog>

#include <array>
#include <string>

#include "common/ctid.h"
#include "common/platform.h"
#include "maintenance/job_dialogs.h"
#include "texts/mtexter.h"

class QDateTimeEdit;
class QLabel;
class QPushButton;

namespace vexla {

// A date-and-time picture of the locale token language (y M d H h m s t tt,
// text in single quotes literal, '' inside quotes a quote) turned into the
// display format of a QDateTimeEdit. Qt has no one-letter AM/PM marker, so
// "t" shows the whole marker as "tt" does; likewise "y" becomes the two-digit
// year. Letters that are no tokens stay literal (Qt reads more letters as
// tokens than the locale does). UTF-8 in and out.
std::string qtDisplayFormat(const std::string& picture);

class frmIntervall : public QDialog, public IntervalDialog {
public:
    // `owner` lends the dialog its icon and is the window it is modal to; the
    // locale formats come from `tid`, today's date from platform.clock. All
    // references must outlive the dialog.
    frmIntervall(QWidget* owner, Platform& platform, mTexter& texts, CTid& tid);

    // IntervalDialog. Shown again without an unload, the dialog keeps its
    // values and its tag.
    std::string showModal() override;
    DateTime DTPStartTid() const override;
    DateTime DTPSlutTid() const override;
    void unload() override;

    // "OK", "Avbryt", or whatever it held before when the close box hid it.
    const std::string& tag() const { return tag_; }

    // The pickers are named DTPStartTid and DTPSlutTid on the form; the
    // functions above read them.
    QDateTimeEdit* DTPStartTidPicker = nullptr;
    QDateTimeEdit* DTPSlutTidPicker = nullptr;
    QPushButton* cmdOk = nullptr;
    QPushButton* cmdAvbryt = nullptr;
    std::array<QLabel*, 2> Label1{};

    // The event handlers, callable from tests as the window system would call them.
    void Form_Load();
    void cmdOk_Click();
    void cmdAvbryt_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;  // Esc presses cmdAvbryt

private:
    Platform& platform_;
    mTexter& texts_;
    CTid& tid_;
    std::string tag_;
    bool loaded_ = false;
};

}  // namespace vexla
