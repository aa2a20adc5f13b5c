#include "frmProcessing.h"
#include "Clock.h"
#include "DataTransfer.h"
#include "Dialogs.h"
#include "Globals.h"
#include "PollLoop.h"
#include "RSComm.h"
#include "ShiftExport.h"
#include "Utilities.h"
#include "frmMDIMain.h"
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

frmProcessing::frmProcessing(DataTransfer &transfer, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), transfer_(transfer), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmProcessing"));
    setModal(true);

    QFrame *panel = AddRaisedEdge(this);
    auto *body = new QVBoxLayout(panel);
    body->setContentsMargins(12, 12, 12, 12);

    fraProcessing = new QGroupBox(QStringLiteral("Processing Request:"), panel);
    fraProcessing->setObjectName(QStringLiteral("fraProcessing"));
    auto *inner = new QVBoxLayout(fraProcessing);
    inner->setSpacing(10);
    lblProcessing = new QLabel(QStringLiteral("Status"), fraProcessing);
    lblProcessing->setObjectName(QStringLiteral("lblProcessing"));
    lblProcessing->setAlignment(Qt::AlignCenter);
    inner->addWidget(lblProcessing);
    prgProcessing = new QProgressBar(fraProcessing);
    prgProcessing->setObjectName(QStringLiteral("prgProcessing"));
    prgProcessing->setTextVisible(true);
    prgProcessing->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("Downloading, Please Standby")) * 3
                                   / 2);
    inner->addWidget(prgProcessing);
    body->addWidget(fraProcessing);

    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), panel);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    buttons->addStretch(1);
    body->addLayout(buttons);

    // On load: the range covers every entry, the label names the direction.
    prgProcessing->setMinimum(0);
    prgProcessing->setValue(0);
    prgProcessing->setMaximum(SetupMaxIndex + 1);
    if (TransferMode == 0)
        lblProcessing->setText(QStringLiteral("Uploading, Please Standby"));
    else if (TransferMode == 10)
        lblProcessing->setText(QStringLiteral("Downloading, Please Standby"));

    connect(cmdCancel, &QPushButton::clicked, this, &frmProcessing::cmdCancel_Click);
    connect(&transfer_, &DataTransfer::progress, this, [this](int done, int) { prgProcessing->setValue(done); });
    connect(&transfer_, &DataTransfer::finished, this, &frmProcessing::onFinished);
    adjustSize();
}

void frmProcessing::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (started_)
        return;
    started_ = true;
    CenterForm(this);
    // Pending window messages run first (the window paints), then the transfer.
    QTimer::singleShot(0, this, [this] {
        cancelFlag_ = false;
        transfer_.start();
    });
}

void frmProcessing::cmdCancel_Click()
{
    cancelFlag_ = true;
    transfer_.cancel();
}

void frmProcessing::reject()
{
    if (transfer_.running()) {
        cmdCancel_Click();
        return;
    }
    QDialog::reject();
}

void frmProcessing::closeEvent(QCloseEvent *e)
{
    // The window closes itself when the transfer is over.
    if (transfer_.running()) {
        cmdCancel_Click();
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

void frmProcessing::onFinished(bool ok, const QString &message)
{
    if (!ok && !message.isEmpty())
        dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("ORVEL"), message);
    accept();
}

// ---- The data commands ------------------------------------------------------

bool TransferData(frmMDIMain &main, Dialogs &dialogs, int mode)
{
    if (!Link)
        return false;
    if (!Link->OnlineMode) {
        const Dialogs::Button answer = dialogs.messageBox(
            Dialogs::Icon::Question, Dialogs::Buttons::YesNo, QStringLiteral("Program Offline"),
            QStringLiteral("Program is Currently OFFLINE\r\n\r\nDo You Wish to Switch to ONLINE MODE to Continue?"));
        if (answer != Dialogs::Button::Yes)
            return false;
        main.mnuViewOnline_Click();   // the transfer runs whatever came of it
    }
    TransferMode = mode;

    // The child window's poll waits until the transfer has let go of the link.
    QPointer<PollLoop> poll;
    if (ChildWindow *c = main.currentChild())
        poll = c->pollLoop();
    if (poll)
        poll->hold();

    DataTransfer transfer(*Link, CurrentSetup, mode == 0 ? DataTransfer::Mode::Upload : DataTransfer::Mode::Download);
    {
        frmProcessing window(transfer, dialogs, &main);
        window.exec();
    }
    if (poll)
        poll->release();
    return true;
}

void mnuFileUpload_Click(frmMDIMain &main, Dialogs &dialogs)
{
    const Dialogs::Button answer =
        dialogs.messageBox(Dialogs::Icon::Question, Dialogs::Buttons::YesNo, QStringLiteral("Data Upload"),
                           QStringLiteral("You are about to Upload Data from the PLC\r\n\r\nDo You Wish to Continue?"));
    if (answer != Dialogs::Button::Yes)
        return;
    const QDateTime now = AppClock ? AppClock->now() : QDateTime::currentDateTime();
    main.gUploadNOW = ShiftExport::DataTimeText(now);
    TransferData(main, dialogs, 0);
}

void mnuFileDownload_Click(frmMDIMain &main, Dialogs &dialogs)
{
    const Dialogs::Button answer =
        dialogs.messageBox(Dialogs::Icon::Question, Dialogs::Buttons::YesNo, QStringLiteral("Data Download"),
                           QStringLiteral("You are about to Download Data to the PLC\r\n\r\nDo You Wish to Continue?"));
    if (answer != Dialogs::Button::Yes)
        return;
    TransferData(main, dialogs, 10);
}
