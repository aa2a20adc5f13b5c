#include "frmLTIO.h"
#include "ChildCaption.h"

frmLTIO::frmLTIO(RSComm &link, Dialogs &dialogs, QWidget *parent) : ChildWindow(link, dialogs, parent)
{
    setObjectName(QStringLiteral("frmLTIO"));
    setWindowTitle(QStringLiteral("I/O Status"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This display of input, output and timing channel states"));
}
