// The language texts' view of Qt widgets: a window and an explicit, ordered
// list of its controls, each carrying its text codes in the dynamic property
// "tag" (a QString, as the designer's tag property). The kind of a control
// follows from its class:
//
//   QAbstractButton, QLabel, QGroupBox                      caption
//   QLineEdit, QTextEdit, QPlainTextEdit, QAbstractItemView,
//   QComboBox, QAbstractSpinBox (QDateTimeEdit), QScrollBar  input (tooltip)
//   QTabWidget                                              tabs (nothing)
//
// A widget of any other class has no caption: giving it one is an Error
// (438, as a control that lacks the property answers), which mTexter
// reports. UTF-8 is turned into QString here and nowhere else.
#pragma once

#include <QString>

#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

#include "texts/text_control.h"
#include "texts/text_form.h"

namespace vexla {

// The kind `widget` has for the texts (a widget of an unknown class counts
// as Caption, and refuses the caption when it is given one).
TextControlKind textControlKindOf(const QWidget& widget);

// The "tag" dynamic property of `object` in UTF-8; "" when it has none.
std::string tagOf(const QObject& object);

class WidgetTextControl : public TextControl {
public:
    // `widget` must not be null. The widget is not owned; once it is
    // destroyed every setter answers an Error.
    explicit WidgetTextControl(QWidget* widget);

    TextControlKind kind() const override;
    std::string tag() const override;
    Status setCaption(const std::string& text) override;
    Status setToolTip(const std::string& text) override;

private:
    QPointer<QWidget> widget_;
    TextControlKind kind_;
};

class WidgetTextForm : public TextForm {
public:
    // `window` is the top-level widget whose title the tag names; `controls`
    // are its controls in control order (null entries are left out).
    WidgetTextForm(QWidget* window, std::vector<QWidget*> controls);

    std::string tag() const override;
    Status setTitle(const std::string& title) override;
    std::size_t controlCount() const override { return controls_.size(); }
    TextControl& control(std::size_t index) override { return controls_.at(index); }

private:
    QPointer<QWidget> window_;
    std::vector<WidgetTextControl> controls_;
};

// Gives `widget` the accessible name a screen reader reads for it: the
// caption, without the "&" of its access key ("&&" read as "&"). For
// controls whose caption sits in a label or frame of their own (lists, a
// text box), which the toolkit does not name by themselves.
void nameAfterCaption(QWidget& widget, const QString& caption);

}  // namespace vexla
