// Driving a modal maintenance dialog from a test: acting while its showing runs.
#pragma once

#include <QDialog>
#include <QTimer>

#include <functional>

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

}  // namespace vexla::testing
