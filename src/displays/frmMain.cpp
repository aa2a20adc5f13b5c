#include "frmMain.h"
#include "ChildCaption.h"

frmMain::frmMain(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Main Display"));
    AddCaptionBar(this);
}
