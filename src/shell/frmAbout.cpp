#include "frmAbout.h"
#include "AppFolder.h"
#include "Dialogs.h"
#include "Utilities.h"
#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <algorithm>

#ifndef ORVEL_VERSION_MAJOR
#define ORVEL_VERSION_MAJOR 2
#define ORVEL_VERSION_MINOR 1
#define ORVEL_VERSION_REVISION 3
#endif

frmAbout::frmAbout(Dialogs &dialogs, QWidget *parent) : QDialog(parent), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ORVEL"));
    setModal(false);

    auto *icon = new QLabel(this);
    icon->setPixmap(ProgramIcon().pixmap(48));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    lblTitle = new QLabel(QStringLiteral("ORVEL"), this);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    lblTitle->setFont(big);

    lblVersion = new QLabel(QStringLiteral("Version %1.%2.%3")
                                .arg(ORVEL_VERSION_MAJOR)
                                .arg(ORVEL_VERSION_MINOR)
                                .arg(ORVEL_VERSION_REVISION),
                            this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));

    lblDescription = new QLabel(
        QStringLiteral("Set-up and monitoring program for the T6850 reject-control board of the can leak tester, "
                       "with its K2950 DF1 serial module.\n\n"
                       "ORVEL project team."),
        this);
    lblDescription->setWordWrap(true);

    lblAppFolder = new QLabel(AppFolderText(), this);
    lblAppFolder->setObjectName(QStringLiteral("lblAppFolder"));
    lblAppFolder->setWordWrap(true);
    lblAppFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    lblDisclaimer = new QLabel(
        QStringLiteral("Support: see Help > Help Topics for the technician's manual. For further help, contact the "
                       "ORVEL project team with the program version above and a description of the board and the "
                       "messages shown."),
        this);
    lblDisclaimer->setWordWrap(true);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("System Info"), this);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto *text = new QVBoxLayout;
    text->addWidget(lblTitle);
    text->addWidget(lblVersion);
    text->addSpacing(8);
    text->addWidget(lblDescription);
    text->addSpacing(8);
    text->addWidget(lblAppFolder);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    buttons->addStretch();
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblDisclaimer, 1);
    bottom->addSpacing(12);
    bottom->addLayout(buttons);

    auto *lay = new QVBoxLayout(this);
    lay->setContentsMargins(16, 16, 16, 16);
    lay->addLayout(top);
    lay->addSpacing(6);
    lay->addWidget(line);
    lay->addLayout(bottom);
    // As wide as the longest piece of text that cannot wrap needs (a folder
    // name longer than a line), else 520.
    // Its height is the texts' at that width (adjustSize would take them at
    // the width they would like, a wider one, and cut the box short).
    const int width = std::max(520, lay->totalMinimumSize().width());
    setFixedWidth(width);
    resize(width, lay->totalHeightForWidth(width));
    CenterForm(this);
}

QString frmAbout::AppFolderText()
{
    QString text = QStringLiteral("Application folder (settings, code texts, manual):\n")
        + QDir::toNativeSeparators(AppFolder::path());
    const AppFolder::Choice &c = AppFolder::defaultChoice();
    if (c.folder == AppFolder::path() && !c.seededFrom.isEmpty())
        text += QStringLiteral("\nMade for this user from the installed files in\n%1")
                    .arg(QDir::toNativeSeparators(c.seededFrom));
    else if (c.folder == AppFolder::path() && !c.error.isEmpty())
        text += QStringLiteral("\nThe installed folder, used read-only: %1.").arg(c.error);
    return text;
}

QString frmAbout::SystemInfoTool()
{
    for (const char *tool : {"hardinfo2", "hardinfo", "kinfocenter", "lshw-gtk", "gnome-system-monitor"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(tool));
        if (!found.isEmpty())
            return found;
    }
    return QString();
}

void frmAbout::StartSysInfo()
{
    const QString tool = SystemInfoTool();
    if (tool.isEmpty() || !QProcess::startDetached(tool, {})) {
        dialogs_.messageBox(Dialogs::Icon::None, Dialogs::Buttons::OK, QStringLiteral("ORVEL"),
                            QStringLiteral("System Information Is Unavailable At This Time"));
    }
}
