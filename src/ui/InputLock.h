#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class CoreView;
class WindowSink;

// The one place that locks the windows' inputs while an operation runs:
// every button (port buttons and scan included), every clickable label and
// every text entry of the watched windows is disabled for as long as the
// operation gate is held. Menus stay, so Exit and the Window menu still work.
class InputLock : public QObject {
    Q_OBJECT
public:
    InputLock(const CoreView& view, WindowSink& events, const QList<QWidget*>& windows,
              QObject* parent = nullptr);

private:
    void apply(bool locked);

    QList<QPointer<QWidget>> Windows;
};
