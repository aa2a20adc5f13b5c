#include "frmLTIO.h"
#include "ChildCaption.h"

frmLTIO::frmLTIO(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmLTIO"));
    setWindowTitle(QStringLiteral("I/O Status"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This display of input, output and timing channel states"));
}
