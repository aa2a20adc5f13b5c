#include "frmSetup.h"
#include "ChildCaption.h"

frmSetup::frmSetup(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Set-Up"));
    AddCaptionBar(this);
}
