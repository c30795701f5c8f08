#include "InputLock.h"

#include "Controls.h"
#include "CoreView.h"
#include "WindowSink.h"

#include <QAbstractButton>
#include <QLineEdit>

InputLock::InputLock(const CoreView& view, WindowSink& events, const QList<QWidget*>& windows,
                     QObject* parent)
    : QObject(parent) {
    for (QWidget* window : windows)
        Windows.append(window);
    connect(&events, &WindowSink::coreChanged, this, [this, &view](Change what) {
        if (what == Change::OperationRunning)
            apply(view.operationRunning());
    });
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
