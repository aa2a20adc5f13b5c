#include "frmSetup.h"
#include "ChildCaption.h"

frmSetup::frmSetup(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Set-Up"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This editor of the set-up parameters"));
}
