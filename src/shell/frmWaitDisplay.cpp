#include "frmWaitDisplay.h"
#include "Globals.h"
#include "Utilities.h"
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

frmWaitDisplay::frmWaitDisplay(QWidget *parent) : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmWaitDisplay"));
    QFrame *panel = AddRaisedEdge(this);
    auto *outer = new QVBoxLayout(panel);
    fraWaitDisplay = new QGroupBox(panel);
    fraWaitDisplay->setObjectName(QStringLiteral("fraWaitDisplay"));
    auto *inner = new QVBoxLayout(fraWaitDisplay);
    lblWaitDisplay = new QLabel(QStringLiteral("Please Standby ..."), fraWaitDisplay);
    lblWaitDisplay->setObjectName(QStringLiteral("lblWaitDisplay"));
    lblWaitDisplay->setAlignment(Qt::AlignCenter);
    QFont f = lblWaitDisplay->font();
    f.setBold(true);
    lblWaitDisplay->setFont(f);
    inner->addWidget(lblWaitDisplay);
    inner->setContentsMargins(24, 18, 24, 18);
    outer->addWidget(fraWaitDisplay);
    setMinimumWidth(360);
}

void frmWaitDisplay::Form_Load(const std::function<void()> &printReport)
{
    lblWaitDisplay->setText(WaitDisplayMode == 1 ? QStringLiteral("Generating Report, Please Standby ...")
                                                 : QStringLiteral("Please Standby ..."));
    adjustSize();
    CenterForm(this);
    show();
    // Let the notice paint; the user's input waits until the report is done,
    // so no second command starts inside this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (WaitDisplayMode == 1 && printReport)
        printReport();
    hide();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
