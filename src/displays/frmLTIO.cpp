#include "frmLTIO.h"
#include "ChildCaption.h"

frmLTIO::frmLTIO(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmLTIO"));
    setWindowTitle(QStringLiteral("I/O Status"));
    AddCaptionBar(this);
}
