#include "frmData.h"
#include "ChildCaption.h"

frmData::frmData(RSComm &link, Dialogs &dialogs, QWidget *parent) : ChildWindow(link, dialogs, parent)
{
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Shift Data"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This display of current and last shift data"));
}
