#include "frmSetup.h"
#include "ChildCaption.h"

frmSetup::frmSetup(RSComm &link, Dialogs &dialogs, QWidget *parent) : ChildWindow(link, dialogs, parent)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Set-Up"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This editor of the set-up parameters"));
}
