#include "frmMain.h"
#include "ChildCaption.h"
#include "Globals.h"
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

frmMain::frmMain(RSComm &link, Dialogs &dialogs, QWidget *parent) : ChildWindow(link, dialogs, parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Main Display"));
    QVBoxLayout *body = AddCaptionBar(this);

    fraMessages = new QGroupBox(QStringLiteral("Messages"), this);
    txtMessageDisplay = new QPlainTextEdit(fraMessages);
    txtMessageDisplay->setObjectName(QStringLiteral("txtMessageDisplay"));
    txtMessageDisplay->setReadOnly(true);
    txtMessageDisplay->setFocusPolicy(Qt::NoFocus);
    QFont f = txtMessageDisplay->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    f.setBold(true);
    txtMessageDisplay->setFont(f);
    const int lines = 4;
    txtMessageDisplay->setFixedHeight(QFontMetrics(f).lineSpacing() * lines + 16);
    auto *lay = new QVBoxLayout(fraMessages);
    lay->addWidget(txtMessageDisplay);
    body->insertWidget(0, fraMessages);
    statusMessageChanged();
}

void frmMain::statusMessageChanged()
{
    QString text = StatusMessage;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (txtMessageDisplay->toPlainText() != text)
        txtMessageDisplay->setPlainText(text);
}
