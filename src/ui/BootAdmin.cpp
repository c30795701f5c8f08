#include "BootAdmin.h"

#include "CapturePane.h"
#include "Controls.h"
#include "CoreView.h"
#include "FileDialogs.h"
#include "IdentityDisplay.h"
#include "IdentityPane.h"
#include "SerialPane.h"
#include "WindowSink.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

#include <algorithm>

BootAdmin::BootAdmin(CoreAccess core, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), Core(core), Entry(dialogs), FWFileSelect(FileDialogs::FWFileSelect()),
      SerialDBFileSelect(FileDialogs::SerialDBFileSelect()) {
    setObjectName(QStringLiteral("BootAdmin"));
    setWindowTitle(QStringLiteral("BootloaderAdmin"));

    auto* central = new QWidget;
    auto* grid = new QGridLayout(central);

    QGroupBox* fr = nullptr;
    ErrorCodelb = makeBoxedLabel(fr, QStringLiteral("fr"), QStringLiteral("Last Error Code"),
                                 QStringLiteral("ErrorCodelb"), QStringLiteral("-"));
    QGroupBox* Statusfr = nullptr;
    Statustb = makeBoxedLabel(Statusfr, QStringLiteral("Statusfr"), QStringLiteral("Status"),
                              QStringLiteral("Statustb"));
    Statustb->setMinimumWidth(220);

    grid->addWidget(new IdentityPane(Core, Entry), 0, 0);
    Serials = new SerialPane(Core, Entry, dialogs, SerialDBFileSelect);
    grid->addWidget(Serials, 1, 0);
    Capture = new CapturePane(Core, Entry, dialogs, FWFileSelect);
    grid->addWidget(Capture, 2, 0);
    // On a small screen (a 1366x768 laptop) the window is shorter than its
    // panes: they scroll, and nothing of them is out of reach. The last error
    // and the status stay in view above them whatever is scrolled.
    auto* scroll = new QScrollArea;
    scroll->setObjectName(QStringLiteral("AdminScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(central);
    auto* window = new QWidget;
    auto* column = new QVBoxLayout(window);
    column->setContentsMargins(0, 0, 0, 0);
    auto* statusRow = new QHBoxLayout;
    statusRow->setContentsMargins(grid->contentsMargins().left(), grid->contentsMargins().top(),
                                  grid->contentsMargins().right(), 0);
    statusRow->addWidget(fr);
    statusRow->addWidget(Statusfr, 1);
    column->addLayout(statusRow);
    column->addWidget(scroll, 1);
    setCentralWidget(window);

    QMenu* mnuWindow = menuBar()->addMenu(QStringLiteral("Window"));
    mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    QAction* mnuClose = mnuWindow->addAction(QStringLiteral("Close"));
    mnuClose->setObjectName(QStringLiteral("mnuClose"));
    connect(mnuClose, &QAction::triggered, this, &QWidget::hide);

    connect(&Core.events, &WindowSink::coreChanged, this, [this](Change what) {
        if (what == Change::Identity)
            ErrorCodelb->setText(displayIdentity(Core.view.identity()).lastError);
    });
}

void BootAdmin::fitToScreen() {
    const auto* scroll = findChild<QScrollArea*>(QStringLiteral("AdminScroll"));
    const QWidget* panes = scroll ? scroll->widget() : nullptr;
    if (!panes || !screen())
        return;
    // The panes' own size, the menu and a vertical scroll bar's width, within
    // the part of the screen the desktop leaves free (less the title bar).
    const QRect free = screen()->availableGeometry();
    const int frame = std::max(frameGeometry().height() - geometry().height(), 32);
    const int statusRow = centralWidget()->sizeHint().height() - scroll->sizeHint().height();
    const QSize wanted(panes->sizeHint().width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                       panes->sizeHint().height() + std::max(statusRow, 0) + menuBar()->sizeHint().height());
    resize(std::min(wanted.width(), free.width()), std::min(wanted.height(), free.height() - frame));
}

void BootAdmin::UpdateStatusDisp(const QString& text) {
    Statustb->setText(text);
}

void BootAdmin::showCaptureProgress(int stored, int total) {
    Capture->UpdateUploadProgress(stored, total);
}

void BootAdmin::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}
