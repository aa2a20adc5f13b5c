#include "frmData.h"
#include "ChildCaption.h"

frmData::frmData(QWidget *parent)
    : ChildWindow(parent)
{
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Shift Data"));
    AddCaptionBar(this);
}
