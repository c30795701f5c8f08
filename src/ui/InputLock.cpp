#include "InputLock.h"

#include "CommandExchange.h"
#include "Controls.h"

#include <QAbstractButton>
#include <QLineEdit>

InputLock::InputLock(CommandExchange& exchange, QList<QWidget*> windows, QObject* parent) : QObject(parent) {
    for (QWidget* window : windows)
        Windows.append(window);
    connect(&exchange, &CommandExchange::operationActiveChanged, this, &InputLock::apply);
}

void InputLock::apply(bool locked) {
    for (const QPointer<QWidget>& window : Windows) {
        if (!window)
            continue;
        const QList<QWidget*> inputs = window->findChildren<QWidget*>();
        for (QWidget* input : inputs) {
            if (qobject_cast<QAbstractButton*>(input) || qobject_cast<QLineEdit*>(input) ||
                qobject_cast<ClickableLabel*>(input))
                input->setEnabled(!locked);
        }
    }
}
