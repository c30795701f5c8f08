#include "CommsLinkWindow.h"

#include "CommsLink.h"
#include "Controls.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

CommsLinkWindow::CommsLinkWindow(CommsLink& link, QWidget* parent) : QWidget(parent), Link(link) {
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

    connect(&Link, &CommsLink::selectedButtonChanged, this, [this](int index) {
        if (index >= 0 && index < static_cast<int>(CommsPortob.size()))
            CommsPortob[static_cast<size_t>(index)]->setChecked(true);
    });
    connect(&Link, &CommsLink::scanStarted, this, [this] {
        ScanMsglb->show();
        ScanMsglb->repaint(); // the scan runs without returning to the event loop
    });
    connect(&Link, &CommsLink::scanFinished, this, &CommsLinkWindow::showScanResult);
    updateDeviceToolTips();
}

void CommsLinkWindow::CommsPortob_Click(int Index) {
    Link.SelectCommsPort(Index + 1);
}

void CommsLinkWindow::RescanCOMportscb_Click() {
    Link.ScanCommsPorts();
}

void CommsLinkWindow::showScanResult() {
    for (int i = 0; i < static_cast<int>(CommsPortob.size()); ++i) {
        QRadioButton* button = CommsPortob[static_cast<size_t>(i)];
        const bool available = Link.scan().portAvailable(i + 1);
        setTextColour(button, available ? Colours::kPortFound : Colours::kPortMissing);
        button->setVisible(available);
    }
    updateDeviceToolTips();
    ScanMsglb->hide();
}

void CommsLinkWindow::updateDeviceToolTips() {
    for (int i = 0; i < static_cast<int>(CommsPortob.size()); ++i)
        CommsPortob[static_cast<size_t>(i)]->setToolTip(Link.ports().deviceForPort(i + 1));
}

void CommsLinkWindow::closeEvent(QCloseEvent* event) {
    hide();
    event->ignore();
}

void CommsLinkWindow::showEvent(QShowEvent* event) {
    updateDeviceToolTips();
    QWidget::showEvent(event);
}
