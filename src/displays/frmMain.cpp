#include "frmMain.h"
#include "BoardMap.h"
#include "ChildCaption.h"
#include "Globals.h"
#include "RSComm.h"
#include "Utilities.h"
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const char *const kFrameCaptions[9] = {
    "Machine CPM",     "Good Cans",       "Leaker Rejects",   "Vision Rejects", "%Scrap (total)",
    "%Scrap (leaker)", "%Scrap (vision)", "Bad Can Blow-off", "Alarm Reset",
};

QString WidestValue(int index)
{
    // A word of machine speed, a decimal double word of cans, a percentage.
    if (index == 0)
        return QStringLiteral("65535");
    if (index <= 3)
        return GroupedNumber(655359999);
    return FixedNumber(100.0, 2);
}
}   // namespace

frmMain::frmMain(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : ChildWindow(link, dialogs, parent), poll_(link, *this, this)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Main Display"));
    FieldAddress = {BoardMap::MachineSpeed, BoardMap::ShiftGoodCans, BoardMap::ShiftLeakerRejects,
                    BoardMap::ShiftVisionRejects};
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

    // Values in large type, one per frame: speed and counts on the first
    // row, the three percentages on the second, the commands below. Each
    // panel is as wide as the widest value it shows, so that the whole
    // display fits a 640 x 480 main window.
    auto *grid = new QGridLayout;
    grid->setSpacing(8);
    QFont valueFont = font();
    valueFont.setPointSizeF(valueFont.pointSizeF() * 1.6);
    valueFont.setBold(true);
    for (int i = 0; i < 9; ++i) {
        fraDisplay[i] = new QGroupBox(QString::fromLatin1(kFrameCaptions[i]), this);
        fraDisplay[i]->setObjectName(QStringLiteral("fraDisplay%1").arg(i));
        auto *inner = new QVBoxLayout(fraDisplay[i]);
        inner->setContentsMargins(6, 6, 6, 6);
        if (i < 7) {
            lblDisplay[i] = new QLabel(QStringLiteral("-"), fraDisplay[i]);
            lblDisplay[i]->setObjectName(QStringLiteral("lblDisplay%1").arg(i));
            lblDisplay[i]->setAlignment(Qt::AlignCenter);
            lblDisplay[i]->setFont(valueFont);
            lblDisplay[i]->setFrameShape(QFrame::Panel);
            lblDisplay[i]->setFrameShadow(QFrame::Sunken);
            FixValueLabelSize(lblDisplay[i], WidestValue(i));
            inner->addWidget(lblDisplay[i], 0, Qt::AlignHCenter);
        }
    }
    cmdTestBlowoff = new QPushButton(QStringLiteral("&Test Blow-off Solenoid"), fraDisplay[7]);
    cmdTestBlowoff->setObjectName(QStringLiteral("cmdTestBlowoff"));
    fraDisplay[7]->layout()->addWidget(cmdTestBlowoff);
    cmdAlarmReset = new QPushButton(QStringLiteral("&Reset Alarms"), fraDisplay[8]);
    cmdAlarmReset->setObjectName(QStringLiteral("cmdAlarmReset"));
    PadButton(cmdTestBlowoff);
    PadButton(cmdAlarmReset);
    fraDisplay[8]->layout()->addWidget(cmdAlarmReset);
    for (int i = 0; i < 4; ++i)
        grid->addWidget(fraDisplay[i], 0, i);
    for (int i = 4; i < 7; ++i)
        grid->addWidget(fraDisplay[i], 1, i - 4);
    grid->addWidget(fraDisplay[7], 2, 0, 1, 2);
    grid->addWidget(fraDisplay[8], 2, 2, 1, 2);
    body->insertLayout(1, grid);

    // Takes the focus away from the buttons; not a tab stop.
    cmdDefault = new QPushButton(QStringLiteral("-"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setFocusPolicy(Qt::ClickFocus);
    cmdDefault->setFixedSize(16, 16);
    auto *corner = new QHBoxLayout;
    corner->addStretch(1);
    corner->addWidget(cmdDefault);
    body->addLayout(corner);

    connect(cmdTestBlowoff, &QPushButton::clicked, this, &frmMain::cmdTestBlowoff_Click);
    connect(cmdAlarmReset, &QPushButton::clicked, this, &frmMain::cmdAlarmReset_Click);
    statusMessageChanged();
}

void frmMain::Form_Activate() { poll_.start(); }

void frmMain::Form_Unload() { poll_.stop(); }

void frmMain::onlineStateChanged() { poll_.wake(); }

void frmMain::statusMessageChanged()
{
    QString text = StatusMessage;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (txtMessageDisplay->toPlainText() != text)
        txtMessageDisplay->setPlainText(text);
}

void frmMain::cmdAlarmReset_Click()
{
    if (!link_.CommError)
        link_.RSWrite(QStringLiteral("F50"), QStringLiteral("1"));
}

void frmMain::cmdTestBlowoff_Click()
{
    if (!link_.CommError)
        link_.RSWrite(QStringLiteral("F805"), QStringLiteral("1"));
}

void frmMain::PassTop() { statusMessageChanged(); }

void frmMain::BeginOnlinePass() { next_ = 0; }

bool frmMain::OnlineStep()
{
    const int i = next_++;
    LastValue = link_.RSRead(FieldAddress[i]);
    if (link_.CommError)
        return false;
    const qint64 v = NumericValue(LastValue);
    if (i == 0) {
        ShowValueText(lblDisplay[0], QString::number(v));
    } else {
        ShowValueText(lblDisplay[i], GroupedNumber(v));
        (i == 1 ? GoodCans : i == 2 ? LeakerRejects : VisionRejects) = qint32(v);
        if (i == 3)
            ShowScrapPercentages();
    }
    return next_ < FieldAddress.size();
}

void frmMain::RefreshOffline()
{
    GoodCans = CurrentSetup.Value.value(43);
    LeakerRejects = CurrentSetup.Value.value(44);
    VisionRejects = CurrentSetup.Value.value(45);
    ShowValueText(lblDisplay[1], GroupedNumber(GoodCans));
    ShowValueText(lblDisplay[2], GroupedNumber(LeakerRejects));
    ShowValueText(lblDisplay[3], GroupedNumber(VisionRejects));
    ShowScrapPercentages();
}

void frmMain::ShowScrapPercentages()
{
    const qint64 total = qint64(GoodCans) + LeakerRejects + VisionRejects;
    TotalCans = total == 0 ? 1 : qint32(qBound(qint64(INT32_MIN), total, qint64(INT32_MAX)));
    const ScrapShares p = ScrapPercentages(GoodCans, LeakerRejects, VisionRejects);
    ShowValueText(lblDisplay[4], FixedNumber(p.total, 2));
    ShowValueText(lblDisplay[5], FixedNumber(p.leaker, 2));
    ShowValueText(lblDisplay[6], FixedNumber(p.vision, 2));
}

void frmMain::enableView(bool enabled)
{
    for (QGroupBox *g : fraDisplay)
        g->setEnabled(enabled);
    for (QLabel *l : lblDisplay) {
        l->setEnabled(enabled);
        l->setText(QStringLiteral("-"));
    }
    cmdTestBlowoff->setEnabled(enabled);
    cmdAlarmReset->setEnabled(enabled);
}

bool frmMain::InitOnlineView()
{
    enableView(true);
    cmdTestBlowoff->setFocus();
    return true;
}

void frmMain::InitOfflineView() { enableView(false); }
