#include "frmK2950DF1.h"
#include "ChildCaption.h"

frmK2950DF1::frmK2950DF1(RSComm &link, Dialogs &dialogs, QWidget *parent) : ChildWindow(link, dialogs, parent)
{
    setObjectName(QStringLiteral("frmK2950DF1"));
    setWindowTitle(QStringLiteral("K2950DF1"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This set-up of the DF1 module"));
}
