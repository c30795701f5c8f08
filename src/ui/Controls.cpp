#include "Controls.h"

#include <QMouseEvent>
#include <QVBoxLayout>

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked(event->modifiers());
}

QString arrayName(const QString& name, int index) {
    return QStringLiteral("%1_%2").arg(name).arg(index);
}

QGroupBox* makeFrame(const QString& name, const QString& caption, const QString& toolTip) {
    auto* frame = new QGroupBox(caption);
    frame->setObjectName(name);
    frame->setToolTip(toolTip);
    return frame;
}

namespace {
template <typename Label> Label* configureLabel(Label* label, const QString& name, const QString& toolTip) {
    label->setObjectName(name);
    label->setToolTip(toolTip);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setMinimumWidth(40);
    label->setMinimumHeight(label->fontMetrics().height() + 6);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}
} // namespace

QLabel* makeLabel(const QString& name, const QString& text, const QString& toolTip) {
    return configureLabel(new QLabel(text), name, toolTip);
}

ClickableLabel* makeClickableLabel(const QString& name, const QString& text, const QString& toolTip) {
    auto* label = configureLabel(new ClickableLabel(text), name, toolTip);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

template <typename Label>
Label* makeBoxedLabel(QGroupBox*& box, const QString& boxName, const QString& caption,
                      const QString& labelName, const QString& text, const QString& toolTip) {
    box = makeFrame(boxName, caption);
    Label* label = nullptr;
    if constexpr (std::is_same_v<Label, ClickableLabel>)
        label = makeClickableLabel(labelName, text, toolTip);
    else
        label = makeLabel(labelName, text, toolTip);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 2, 4, 4);
    layout->addWidget(label);
    return label;
}
template QLabel* makeBoxedLabel<QLabel>(QGroupBox*&, const QString&, const QString&, const QString&,
                                        const QString&, const QString&);
template ClickableLabel* makeBoxedLabel<ClickableLabel>(QGroupBox*&, const QString&, const QString&,
                                                        const QString&, const QString&, const QString&);

QPushButton* makeButton(const QString& name, const QString& caption, const QString& toolTip) {
    auto* button = new QPushButton(caption);
    button->setObjectName(name);
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

void setButtonColour(QPushButton* button, const QColor& colour) {
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, colour);
    button->setPalette(palette);
}

QColor buttonColour(const QPushButton* button) {
    return button->palette().color(QPalette::Button);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}
