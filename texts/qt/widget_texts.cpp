#include "texts/qt/widget_texts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextEdit>
#include <QVariant>

#include "common/platform.h"

namespace vexla {

namespace {

Error noSuchProperty() { return Error{438, "Object doesn't support this property or method", kProgramTitle}; }

Error widgetGone() { return Error{91, "Object variable or With block variable not set", kProgramTitle}; }

QString toQString(const std::string& utf8) { return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())); }

}  // namespace

TextControlKind textControlKindOf(const QWidget& w) {
    if (qobject_cast<const QTabWidget*>(&w)) return TextControlKind::Tabs;
    if (qobject_cast<const QLineEdit*>(&w) || qobject_cast<const QTextEdit*>(&w) ||
        qobject_cast<const QPlainTextEdit*>(&w) || qobject_cast<const QAbstractItemView*>(&w) ||
        qobject_cast<const QComboBox*>(&w) || qobject_cast<const QAbstractSpinBox*>(&w) ||
        qobject_cast<const QScrollBar*>(&w)) {
        return TextControlKind::Input;
    }
    return TextControlKind::Caption;
}

std::string tagOf(const QObject& object) {
    const QVariant tag = object.property("tag");
    return tag.isValid() ? tag.toString().toStdString() : std::string();
}

WidgetTextControl::WidgetTextControl(QWidget* widget) : widget_(widget), kind_(textControlKindOf(*widget)) {}

TextControlKind WidgetTextControl::kind() const { return kind_; }

std::string WidgetTextControl::tag() const { return widget_ ? tagOf(*widget_) : std::string(); }

Status WidgetTextControl::setCaption(const std::string& text) {
    if (!widget_) return widgetGone();
    if (auto* button = qobject_cast<QAbstractButton*>(widget_)) {
        button->setText(toQString(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget_)) {
        label->setText(toQString(text));
    } else if (auto* box = qobject_cast<QGroupBox*>(widget_)) {
        box->setTitle(toQString(text));
    } else {
        return noSuchProperty();
    }
    return {};
}

Status WidgetTextControl::setToolTip(const std::string& text) {
    if (!widget_) return widgetGone();
    widget_->setToolTip(toQString(text));
    return {};
}

WidgetTextForm::WidgetTextForm(QWidget* window, std::vector<QWidget*> controls) : window_(window) {
    controls_.reserve(controls.size());
    for (QWidget* w : controls) {
        if (w) controls_.emplace_back(w);
    }
}

std::string WidgetTextForm::tag() const { return window_ ? tagOf(*window_) : std::string(); }

Status WidgetTextForm::setTitle(const std::string& title) {
    if (!window_) return widgetGone();
    window_->setWindowTitle(toQString(title));
    return {};
}

void nameAfterCaption(QWidget& widget, const QString& caption) {
    QString name = caption;
    name.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    name.remove(QLatin1Char('&'));
    name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    widget.setAccessibleName(name);
}

}  // namespace vexla
