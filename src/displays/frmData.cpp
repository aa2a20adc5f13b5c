#include "frmData.h"
#include "ChildCaption.h"

frmData::frmData(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Shift Data"));
    AddPendingNote(AddCaptionBar(this), QStringLiteral("This display of current and last shift data"));
}
