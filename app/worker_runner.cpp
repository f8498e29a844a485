#include "app/worker_runner.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QWidget>

#include <thread>
#include <type_traits>

namespace vexla {

namespace {

// Runs `f` on the interface thread (the thread of `gui`) and answers its
// result; called there, it runs at once.
template <class F>
auto onInterfaceThread(QObject* gui, F f) {
    using R = decltype(f());
    if (QThread::currentThread() == gui->thread()) return f();
    if constexpr (std::is_void_v<R>) {
        QMetaObject::invokeMethod(gui, f, Qt::BlockingQueuedConnection);
    } else {
        R result{};
        QMetaObject::invokeMethod(
            gui, [&] { result = f(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

class InterfaceWindow final : public AdminWindow {
public:
    InterfaceWindow(QObject* gui, AdminWindow& real) : gui_(gui), real_(real) {}
    AdminState& state() override { return real_.state(); }
    db::DBEngine& engine() override { return real_.engine(); }
    void setInfo(const std::string& text) override {
        onInterfaceThread(gui_, [&] { real_.setInfo(text); });
    }
    std::string info() const override {
        return onInterfaceThread(gui_, [&] { return real_.info(); });
    }
    void setPathLabel(const std::string& text) override {
        onInterfaceThread(gui_, [&] { real_.setPathLabel(text); });
    }
    std::string pathLabel() const override {
        return onInterfaceThread(gui_, [&] { return real_.pathLabel(); });
    }
    void Logg(const std::string& text) override {
        onInterfaceThread(gui_, [&] { real_.Logg(text); });
    }
    void LoggNotice(const std::string& text) override {
        onInterfaceThread(gui_, [&] { real_.LoggNotice(text); });
    }
    void closeAllFiles() override {
        onInterfaceThread(gui_, [&] { real_.closeAllFiles(); });
    }

private:
    QObject* gui_;
    AdminWindow& real_;
};

class InterfaceMessages final : public MessageBoxes {
public:
    InterfaceMessages(QObject* gui, MessageBoxes& real) : gui_(gui), real_(real) {}
    MsgAnswer show(const std::string& text, const std::string& title, MsgIcon icon, MsgButtons buttons) override {
        return onInterfaceThread(gui_, [&] { return real_.show(text, title, icon, buttons); });
    }
    void beep() override {
        onInterfaceThread(gui_, [&] { real_.beep(); });
    }

private:
    QObject* gui_;
    MessageBoxes& real_;
};

class InterfaceDialogs final : public FileDialogHost {
public:
    InterfaceDialogs(QObject* gui, FileDialogHost& real) : gui_(gui), real_(real) {}
    bool getOpenFileName(OpenFileName& ofn) override {
        return onInterfaceThread(gui_, [&] { return real_.getOpenFileName(ofn); });
    }
    bool getSaveFileName(OpenFileName& ofn) override {
        return onInterfaceThread(gui_, [&] { return real_.getSaveFileName(ofn); });
    }

private:
    QObject* gui_;
    FileDialogHost& real_;
};

class InterfacePointer final : public MousePointer {
public:
    InterfacePointer(QObject* gui, MousePointer& real) : gui_(gui), real_(real) {}
    void setBusy(bool busy) override {
        onInterfaceThread(gui_, [&] { real_.setBusy(busy); });
    }

private:
    QObject* gui_;
    MousePointer& real_;
};

// The language file is read at each look-up, and a failed read is told in
// a message box: both belong on the interface thread.
class InterfaceTexts final : public TextSource {
public:
    InterfaceTexts(QObject* gui, TextSource& real) : gui_(gui), real_(real) {}
    std::string TextTillAndra(const std::string& code) override {
        return onInterfaceThread(gui_, [&] { return real_.TextTillAndra(code); });
    }

private:
    QObject* gui_;
    TextSource& real_;
};

}  // namespace

WorkerRunner::~WorkerRunner() = default;

void WorkerRunner::run(JobContext& ctx, const std::function<void(JobContext&)>& work) {
    QObject* gui = QCoreApplication::instance();
    InterfaceWindow window(gui, ctx.main);
    InterfaceMessages messages(gui, ctx.platform.messages);
    InterfaceDialogs dialogs(gui, ctx.platform.fileDialogs);
    InterfacePointer pointer(gui, ctx.platform.pointer);
    InterfaceTexts texts(gui, ctx.texts);
    // The system log takes lines from any thread (syslog(3) is thread-safe):
    // the notices of the work go to it directly.
    Platform platform{messages,
                      dialogs,
                      pointer,
                      ctx.platform.clock,
                      ctx.platform.locale,
                      ctx.platform.files,
                      ctx.platform.programFolder,
                      FolderMemory::none(),
                      ctx.platform.systemLog};

    window_.reset();  // the last job's window goes before its progress
    progress_ = std::make_unique<SharedProgress>();
    JobContext worker{window,  platform,        texts,           ctx.fullCheck,
                      nullptr, progress_.get(), ctx.waitSeconds, ctx.keptNotices};
    window_ = std::make_unique<ProgressWindow>(owner_, *progress_, texts_);
    if (onRunning) onRunning(true);
    window_->show();

    QEventLoop loop;
    std::thread thread([&] {
        work(worker);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    thread.join();

    window_->refresh();
    window_->hide();
    if (onRunning) onRunning(false);
}

}  // namespace vexla
