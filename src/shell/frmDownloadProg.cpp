#include "frmDownloadProg.h"
#include "RSComm.h"
#include "Utilities.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

frmDownloadProg::frmDownloadProg(RSComm &link, QWidget *parent) : QDialog(parent), link_(link)
{
    setObjectName(QStringLiteral("frmDownloadProg"));
    // No caption: the window is only a frame with its one line.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    QFrame *panel = AddRaisedEdge(this);
    auto *outer = new QVBoxLayout(panel);
    outer->setContentsMargins(8, 8, 8, 8);
    fraWaitDisplay = new QGroupBox(panel);
    fraWaitDisplay->setObjectName(QStringLiteral("fraWaitDisplay"));
    auto *inner = new QVBoxLayout(fraWaitDisplay);
    inner->setContentsMargins(18, 18, 18, 18);
    lblWaitDisplay = new QLabel(QStringLiteral("Sending Program at Address: 0000H"), fraWaitDisplay);
    lblWaitDisplay->setObjectName(QStringLiteral("lblWaitDisplay"));
    lblWaitDisplay->setAlignment(Qt::AlignCenter);
    // Wide enough for the longest line it shows.
    lblWaitDisplay->setMinimumWidth(
        lblWaitDisplay->fontMetrics().horizontalAdvance(QStringLiteral("Reading From Program Address: FFFFH")) + 24);
    inner->addWidget(lblWaitDisplay);
    outer->addWidget(fraWaitDisplay);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(250);
    connect(Timer1, &QTimer::timeout, this, &frmDownloadProg::Timer1_Timer);
    Form_Load();
}

void frmDownloadProg::SetTransferMode(int Mode)
{
    TransferMode = qint16(Mode);
    lblWaitDisplay->setText(TransferMode == 1 ? QStringLiteral("Reading Program at Address: ")
                                              : QStringLiteral("Sending Program at Address: "));
}

void frmDownloadProg::Form_Load()
{
    SetTransferMode(TransferMode);
    adjustSize();
    CenterForm(this);
    Timer1->stop();
}

void frmDownloadProg::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (started_)
        return;
    started_ = true;
    // The transfer starts once the window is on screen.
    QTimer::singleShot(0, this, &frmDownloadProg::Form_Activate);
}

void frmDownloadProg::Form_Activate()
{
    Timer1->start();
    running_ = true;
    // Between records the window's own events run: the label's timer and
    // repaints. The link stays busy throughout, so nothing else reaches the board.
    const auto letEventsRun = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
    if (TransferMode == 1)
        link_.UploadProgram(letEventsRun);
    else
        link_.DumpProgram(letEventsRun, [this] { ShowProgressNow(); });
    running_ = false;
    Timer1->stop();
    TransferMode = 0;
    QCoreApplication::processEvents();
    accept();
}

void frmDownloadProg::Timer1_Timer()
{
    if (TransferMode == 0 && link_.InProgramMode) {
        lblWaitDisplay->setText(link_.WritingIdent
                                    ? QStringLiteral("Writing Program Ident ... ")
                                    : QStringLiteral("Writing to Program Address: ") + link_.CurrentProgramAdd);
    } else if (TransferMode == 1 && link_.InUploadMode) {
        lblWaitDisplay->setText(link_.ReadingIdent
                                    ? QStringLiteral("Reading Program Ident ... ")
                                    : QStringLiteral("Reading From Program Address: ") + link_.CurrentProgramAdd);
    }
}

void frmDownloadProg::ShowProgressNow()
{
    Timer1_Timer();
    lblWaitDisplay->repaint();
}

void frmDownloadProg::closeEvent(QCloseEvent *e)
{
    // The window closes itself when the transfer has ended, not before.
    if (running_)
        e->ignore();
    else
        QDialog::closeEvent(e);
}

void frmDownloadProg::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Escape && running_) {
        e->ignore();
        return;
    }
    QDialog::keyPressEvent(e);
}
