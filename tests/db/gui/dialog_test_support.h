// Driving the maintenance dialogs from a test: acting while a modal showing
// runs, the installed language files, and keyboard checks.
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace vexla::testing {

// Runs `show` (a modal showing of `d`) and calls `act` once the dialog is up
// and whatever it posted for itself on showing has run. `act` must hide the
// dialog; a dialog still open after five seconds fails the test and is closed.
template <class Show>
auto whileShown(QDialog& d, std::function<void()> act, Show show) {
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &d, [&d] {
        ADD_FAILURE() << "the dialog was left open";
        d.done(QDialog::Rejected);
    });
    guard.start(5000);
    // Posted twice: the showing posts its own work after the first one.
    QMetaObject::invokeMethod(
        &d, [&d, act] { QMetaObject::invokeMethod(&d, act, Qt::QueuedConnection); }, Qt::QueuedConnection);
    return show();
}

// The Lang.ini of a language ("se", "en") as the source tree holds it.
inline std::string sourceLangIni(const std::string& language) {
    const char* root = std::getenv("VEXLA_SOURCE_DIR");
    return std::string(root ? root : ".") + "/texts/" + language + "/Lang.ini";
}

// Every button has an access key ("&" before a letter), none shared.
inline void expectDistinctAccessKeys(std::initializer_list<const QAbstractButton*> buttons) {
    std::set<QChar> keys;
    for (const QAbstractButton* b : buttons) {
        const QString text = b->text();
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        ASSERT_TRUE(at >= 0 && at + 1 < text.size() && text[at + 1] != QLatin1Char('&'))
            << b->objectName().toStdString() << " has no access key in '" << text.toStdString() << "'";
        EXPECT_TRUE(keys.insert(text[at + 1].toUpper()).second)
            << b->objectName().toStdString() << " shares its access key";
    }
}

// Tab moves through `widgets` in this order. Widgets Tab passes over (labels,
// the inner editor of a picker, which hands its focus to the picker) are skipped.
inline void expectTabOrder(std::initializer_list<QWidget*> widgets) {
    const auto nextTabStop = [](QWidget* from) {
        QWidget* w = from->nextInFocusChain();
        while (w != from && ((w->focusPolicy() & Qt::TabFocus) == 0 || w->focusProxy())) w = w->nextInFocusChain();
        return w;
    };
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
        if (previous) {
            EXPECT_EQ(nextTabStop(previous), w)
                << "after " << previous->objectName().toStdString() << " expected " << w->objectName().toStdString();
        }
        previous = w;
    }
}

}  // namespace vexla::testing
