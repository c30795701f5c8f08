#include "CommsLinkWindow.h"

#include "Controls.h"
#include "CoreView.h"
#include "Operations.h"
#include "WindowSink.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

CommsLinkWindow::CommsLinkWindow(CoreAccess core, QWidget* parent) : QWidget(parent), Core(core) {
    setObjectName(QStringLiteral("CommsLink"));
    setWindowTitle(QStringLiteral("Comms Link"));

    auto* ports = makeFrame(QStringLiteral("CommsPortsfr"), QStringLiteral("Valid Comms Ports"));
    auto* grid = new QGridLayout(ports);
    for (int i = 0; i < static_cast<int>(CommsPortob.size()); ++i) {
        auto* button = new QRadioButton(QString::number(i + 1));
        button->setObjectName(arrayName(QStringLiteral("CommsPortob"), i));
        connect(button, &QRadioButton::clicked, this, [this, i] { CommsPortob_Click(i); });
        CommsPortob[static_cast<size_t>(i)] = button;
        grid->addWidget(button, i / 6, i % 6);
    }

    RescanCOMportscb = makeButton(QStringLiteral("RescanCOMportscb"), QStringLiteral("Scan"),
                                  QStringLiteral("Scan and show available COM ports"));
    connect(RescanCOMportscb, &QPushButton::clicked, this, &CommsLinkWindow::RescanCOMportscb_Click);
    ScanMsglb = new QLabel(QStringLiteral("Please wait ..."));
    ScanMsglb->setObjectName(QStringLiteral("ScanMsglb"));
    ScanMsglb->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ports);
    auto* row = new QHBoxLayout;
    row->addWidget(RescanCOMportscb);
    row->addWidget(ScanMsglb, 1);
    layout->addLayout(row);

    connect(&Core.events, &WindowSink::coreChanged, this, [this](Change what) {
        if (what == Change::PortSelected) {
            showSelectedPort();
        } else if (what == Change::ScanStarted) {
            ScanMsglb->show();
            ScanMsglb->repaint(); // the scan runs without returning to the event loop
        } else if (what == Change::ScanFinished) {
            showScanResult();
        }
    });
    updateDeviceToolTips();
}

void CommsLinkWindow::CommsPortob_Click(int Index) {
    Core.ops.openPort({Index + 1});
}

void CommsLinkWindow::RescanCOMportscb_Click() {
    Core.ops.scanPorts();
}

void CommsLinkWindow::showSelectedPort() {
    // A device opened by its path has no button.
    const int index = Core.view.selectedPort() - 1;
    if (index >= 0 && index < static_cast<int>(CommsPortob.size()))
        CommsPortob[static_cast<size_t>(index)]->setChecked(true);
}

void CommsLinkWindow::showScanResult() {
    for (int i = 0; i < static_cast<int>(CommsPortob.size()); ++i) {
        QRadioButton* button = CommsPortob[static_cast<size_t>(i)];
        const bool available = Core.view.portFound(i + 1);
        setTextColour(button, available ? Colours::kPortFound : Colours::kPortMissing);
        button->setVisible(available);
    }
    updateDeviceToolTips();
    ScanMsglb->hide();
}

void CommsLinkWindow::updateDeviceToolTips() {
    for (int i = 0; i < static_cast<int>(CommsPortob.size()); ++i)
        CommsPortob[static_cast<size_t>(i)]->setToolTip(Core.view.deviceForPort(i + 1));
}

void CommsLinkWindow::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

void CommsLinkWindow::showEvent(QShowEvent* event) {
    updateDeviceToolTips();
    QWidget::showEvent(event);
}
