#include "common/qt/screen_fit.h"

#include <QEvent>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <algorithm>

namespace vexla {

QRect fittedGeometry(const QRect& available, const QRect& owner, QSize wanted, QSize minimum, QMargins frame) {
    const QSize size = wanted.boundedTo(available.size().shrunkBy(frame)).expandedTo(minimum);
    QRect outer(QPoint(), size.grownBy(frame));
    outer.moveCenter((owner.isValid() ? owner : available).center());
    // Right and bottom first: a window larger than the area keeps its title
    // bar and its left edge on the screen, where the user can grab them.
    if (outer.right() > available.right()) outer.moveRight(available.right());
    if (outer.bottom() > available.bottom()) outer.moveBottom(available.bottom());
    if (outer.left() < available.left()) outer.moveLeft(available.left());
    if (outer.top() < available.top()) outer.moveTop(available.top());
    return outer.marginsRemoved(frame);
}

namespace {

// The frame the window system reports around `w`; none before it is decorated.
QMargins knownFrame(const QWidget& w) {
    const QRect outer = w.frameGeometry(), inner = w.geometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// The window `w` is centred on: its parent's window, when that is shown.
const QWidget* ownerOf(const QWidget& w) {
    const QWidget* owner = w.parentWidget() ? w.parentWidget()->window() : nullptr;
    return owner && owner->isVisible() ? owner : nullptr;
}

// The frame `w` will get: its own once known, else that of its owner, which
// the same window manager decorated, else a title bar and borders on the
// generous side.
QMargins expectedFrame(const QWidget& w) {
    if (const QMargins own = knownFrame(w); !own.isNull()) return own;
    if (const QWidget* owner = ownerOf(w); owner && !knownFrame(*owner).isNull()) return knownFrame(*owner);
    const int title = std::max(w.style()->pixelMetric(QStyle::PM_TitleBarHeight), 2 * w.fontMetrics().height());
    return {4, title + 4, 4, 8};
}

bool larger(const QMargins& a, const QMargins& b) {
    return a.left() > b.left() || a.top() > b.top() || a.right() > b.right() || a.bottom() > b.bottom();
}

// Fits its window at every show, and once more when the window manager's
// frame turns out larger than the one expected.
class ScreenFit final : public QObject {
public:
    explicit ScreenFit(QWidget& window) : QObject(&window), window_(window) {
        setObjectName(name());
        window.installEventFilter(this);
    }

    static QString name() { return QStringLiteral("vexla-screen-fit"); }

    bool eventFilter(QObject*, QEvent* e) override {
        switch (e->type()) {
            case QEvent::Show:
                fit(expectedFrame(window_));
                awaitingFrame_ = true;
                break;
            case QEvent::Hide: awaitingFrame_ = false; break;
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Paint:
            case QEvent::WindowActivate:
                if (const QMargins real = knownFrame(window_); awaitingFrame_ && !real.isNull()) {
                    awaitingFrame_ = false;
                    if (larger(real, used_)) fit(real);
                }
                break;
            default: break;
        }
        return false;
    }

private:
    void fit(QMargins frame) {
        const QWidget* owner = ownerOf(window_);
        const QScreen* screen = owner ? owner->screen() : window_.screen();
        if (!screen) return;
        used_ = frame;
        window_.setGeometry(fittedGeometry(screen->availableGeometry(), owner ? owner->frameGeometry() : QRect(),
                                           window_.size(), window_.minimumSize(), frame));
    }

    QWidget& window_;
    QMargins used_;
    bool awaitingFrame_ = false;
};

}  // namespace

void fitToScreen(QWidget& window) {
    if (!window.findChild<QObject*>(ScreenFit::name(), Qt::FindDirectChildrenOnly)) new ScreenFit(window);
}

}  // namespace vexla
