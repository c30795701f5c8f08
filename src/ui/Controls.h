#pragma once

#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStringList>

// Builders for the named controls of the windows. Every control carries its
// name as its object name; an element of a control array carries the name, an
// underscore and its index.

namespace Colours {
inline const QColor kHighlight(0, 255, 0);  // the button for the next step
inline const QColor kNormal(192, 192, 192); // light grey
inline const QColor kPortFound(0, 255, 0);  // a port the scan could open
inline const QColor kPortMissing(192, 192, 192);
} // namespace Colours

// A label that reports clicks, with the keyboard modifiers held at the time.
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked(Qt::KeyboardModifiers modifiers);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

QString arrayName(const QString& name, int index);

QGroupBox* makeFrame(const QString& name, const QString& caption, const QString& toolTip = {});
QLabel* makeLabel(const QString& name, const QString& text = {}, const QString& toolTip = {});
ClickableLabel* makeClickableLabel(const QString& name, const QString& text = {},
                                   const QString& toolTip = {});
QPushButton* makeButton(const QString& name, const QString& caption, const QString& toolTip = {});
// A captioned box holding one label; returns the label.
template <typename Label = QLabel>
Label* makeBoxedLabel(QGroupBox*& box, const QString& boxName, const QString& caption,
                      const QString& labelName, const QString& text = {}, const QString& toolTip = {});

void setButtonColour(QPushButton* button, const QColor& colour);
QColor buttonColour(const QPushButton* button);
void setTextColour(QWidget* widget, const QColor& colour);
