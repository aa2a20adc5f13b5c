#include "frmTargetBoard.h"
#include "AppFolder.h"
#include "BoardIdentity.h"
#include "ChildWindow.h"
#include "Clock.h"
#include "Dialogs.h"
#include "EntryFields.h"
#include "Globals.h"
#include "RSComm.h"
#include "TextItems.h"
#include "UpDown.h"
#include "Utilities.h"
#include "frmMDIMain.h"
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

struct Field {
    const char *caption;
    const char *address;
    int lower, upper;
};
// The editable fields: the network addresses, then the board clock.
const Field kFields[8] = {
    {"Current Network Address 1:", "B8180", 1, 32},
    {"Current Network Address 2:", "B8191", 1, 32},
    {"Hr.", "B43012", 0, 23},
    {"Min.", "B43010", 0, 59},
    {"Sec.", "B43008", 0, 59},
    {"Mo.", "B43016", 1, 12},
    {"Day", "B43015", 1, 31},
    {"Yr.", "B43017", 0, 99},
};

// The status bytes read on each switch to online, and the box each shows in.
const char *const kStatusAddress[6] = {"B8176", "B8177", "B8175", "B8177", "B8179", "B8178"};
const char *const kStatusCaption[6] = {
    "Current Fault: Code = ",      "Last Fault: Code = ",      "CO-CPU Slot: ", "",
    "Current Comm Error: Code = ", "Last Comm Error: Code = ",
};
constexpr int kIdentAddress = 61424;   // 8 name characters, checksum, revision
constexpr int kIdentBytes = 10;

// The steps of the status view after the six status reads.
enum StatusAction {
    kFaultTexts = 6,
    kSlotRead = 7,
    kCorrective = 8,
    kCommTexts = 9,
    kFirstIdent = 10,
    kStatusDone = kFirstIdent + kIdentBytes,
};

const char *const kOfflineText = "Cannot Communicate with Target Board.";
const QChar Q = QLatin1Char('"');

int hexValue(const QString &digits)
{
    bool ok = false;
    const int v = digits.toInt(&ok, 16);
    return ok ? v : 0;
}

QString twoDigits(int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); }

const Clock &pcClock() { return AppClock ? *AppClock : static_cast<const Clock &>(SystemClock::instance()); }

}   // namespace

QString frmTargetBoard::CorrectiveAction(int n)
{
    if (n >= 1 && n <= 63)
        return QStringLiteral("Replace CO-CPU board at ") + Q + QStringLiteral("CO-CPU Slot") + Q
            + QStringLiteral(" and try again.  ")
            + QStringLiteral("If fault persists, peplace K2707 processor board and try again.  ")
            + QStringLiteral("If fault persists, verify proper use of ") + Q + QStringLiteral("sfunc05/06/12") + Q
            + QStringLiteral(" in user program.");
    if (n == 66)
        return QStringLiteral("Verify connection of cable between computer ") + Q + QStringLiteral("COM") + Q
            + QStringLiteral(" port and target board ") + Q + QStringLiteral("PROG PORT") + Q
            + QStringLiteral(".  Verify ")
            + QStringLiteral("cable wiring and connectors.  If fault persists, replace target board and/or ")
            + QStringLiteral("try a different computer.");
    if (n == 69)
        return QStringLiteral("User program executed an sfunc09() system fault function call.  See User ")
            + QStringLiteral("program for details on source of fault and corrective action.");
    if (n == 92 || n == 93)
        return QStringLiteral("Program is invalid.  Re-dump program to target board.  If fault persists, ")
            + QStringLiteral("verify cable connections between computer and target board.  If fault persists, ")
            + QStringLiteral("replace target board.");
    if (n <= 0 || n >= 123)
        return QStringLiteral("None");
    return QStringLiteral("Reset fault and try again.  If fault persists, replace target board and try ")
        + QStringLiteral("again.  See Tarnex Manual for more details.");
}

frmTargetBoard::frmTargetBoard(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), link_(link), dialogs_(dialogs), poll_(link, *this, this)
{
    setObjectName(QStringLiteral("frmTargetBoard"));
    setWindowTitle(QStringLiteral("Target Board Interface"));
    setModal(true);
    for (int i = 0; i < 6; ++i)
        StatusCode << QStringLiteral("00");
    buildControls();
}

frmTargetBoard::~frmTargetBoard() { endPoll(); }

// ---- Controls ------------------------------------------------------------------

namespace {
QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *l = new QLabel(QStringLiteral("-"), parent);
    l->setObjectName(name);
    l->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    l->setBackgroundRole(QPalette::Base);
    l->setAutoFillBackground(true);
    // The room around the text is the label's margin, inside the frame: the
    // widget's contents margins would move the frame lines off its edge.
    l->setMargin(3);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}
}   // namespace

void frmTargetBoard::buildControls()
{
    auto *body = new QVBoxLayout(this);
    tabTargetBoard = new QTabWidget(this);
    tabTargetBoard->setObjectName(QStringLiteral("tabTargetBoard"));
    const QString tabs[4] = {QStringLiteral("&Fault Codes / Status"), QStringLiteral("&Program Ident/Revision"),
                             QStringLiteral("&Set Network Address"), QStringLiteral("S&et Time && Date")};
    const QString containers[4] = {QStringLiteral("Fault Codes / Status"), QStringLiteral("Program Ident/Revision"),
                                   QStringLiteral("Set Network Address"), QStringLiteral("Set Time & Date")};

    cmdDefault = new QPushButton(QStringLiteral("-"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setFocusPolicy(Qt::ClickFocus);
    cmdDefault->setFixedSize(16, 16);
    entries_ = new EntryFields(dialogs_, cmdDefault, this);
    entries_->setPoll(&poll_);

    fraTargetBoard[0] = buildFaultPage();
    fraTargetBoard[1] = buildIdentPage();
    fraTargetBoard[2] = buildNetworkPage();
    fraTargetBoard[3] = buildClockPage();
    for (int t = 0; t < 4; ++t) {
        fraTargetBoard[t]->setObjectName(QStringLiteral("fraTargetBoard%1").arg(t));
        fraTargetBoard[t]->setAccessibleName(containers[t]);
        tabTargetBoard->addTab(fraTargetBoard[t], tabs[t]);
    }
    connect(tabTargetBoard, &QTabWidget::currentChanged, this, &frmTargetBoard::showPage);
    body->addWidget(tabTargetBoard, 1);

    cmdGoOnline = new QPushButton(QStringLiteral("&Go Online"), this);
    cmdGoOnline->setObjectName(QStringLiteral("cmdGoOnline"));
    cmdOk = new QPushButton(QStringLiteral("&Ok"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setAutoDefault(false);
    cmdGoOnline->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdDefault, 0, Qt::AlignBottom);
    buttons->addStretch(1);
    buttons->addWidget(cmdGoOnline);
    buttons->addWidget(cmdOk);
    body->addLayout(buttons);

    connect(cmdGoOnline, &QPushButton::clicked, this, &frmTargetBoard::cmdGoOnline_Click);
    connect(cmdResetFaults, &QPushButton::clicked, this, &frmTargetBoard::cmdResetFaults_Click);
    connect(cmdSetToCurrTime, &QPushButton::clicked, this, &frmTargetBoard::cmdSetToCurrTime_Click);
    connect(cmdSetToCurrDate, &QPushButton::clicked, this, &frmTargetBoard::cmdSetToCurrDate_Click);
    connect(cmdOk, &QPushButton::clicked, this, &frmTargetBoard::cmdOk_Click);
    connect(entries_, &EntryFields::accepted, this, &frmTargetBoard::onAccepted);
    connect(entries_, &EntryFields::stepped, this, &frmTargetBoard::onStepped);

    // Tab order follows the fields, page by page.
    setTabOrder(tabTargetBoard, cmdResetFaults);
    setTabOrder(cmdResetFaults, txtSetup[0]);
    for (int i = 0; i < 7; ++i)
        setTabOrder(txtSetup[i], txtSetup[i + 1]);
    setTabOrder(txtSetup[7], cmdSetToCurrTime);
    setTabOrder(cmdSetToCurrTime, cmdSetToCurrDate);
    setTabOrder(cmdSetToCurrDate, cmdGoOnline);
    setTabOrder(cmdGoOnline, cmdOk);
    resize(640, 430);
}

QWidget *frmTargetBoard::buildFaultPage()
{
    constexpr int kFieldGap = 6;   // between one field (caption and box) and the next
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    const char *captions[6] = {"Current Fault:",     "Last Fault:",         "CO-CPU Slot:",
                               "Corrective Action:", "Current Comm Error:", "Last Comm Error:"};
    fraDescription[0] = new QGroupBox(QStringLiteral("Internal Fault Code:"), page);
    fraDescription[1] = new QGroupBox(QStringLiteral("Communications Network Error Codes:"), page);
    auto *faults = new QVBoxLayout(fraDescription[0]);
    auto *comms = new QVBoxLayout(fraDescription[1]);
    faults->setSpacing(2);
    comms->setSpacing(2);
    for (int i = 0; i < 6; ++i) {
        QGroupBox *frame = i < 4 ? fraDescription[0] : fraDescription[1];
        QVBoxLayout *l = i < 4 ? faults : comms;
        lblTargetBoard[i] = new QLabel(QString::fromLatin1(captions[i]), frame);
        lblTargetBoard[i]->setObjectName(QStringLiteral("lblTargetBoard%1").arg(i));
        l->addWidget(lblTargetBoard[i]);
        if (i == 2) {
            // A line of its own, not a caption: it stands apart from the box
            // above and the caption below as the fields do from each other,
            // and takes no room while hidden.
            lblTargetBoard[i]->setContentsMargins(0, 0, 0, kFieldGap);
            continue;
        }
        QWidget *box;
        if (i == 3) {
            auto *text = new QPlainTextEdit(frame);
            text->setReadOnly(true);
            text->setFixedHeight(text->fontMetrics().lineSpacing() * 3 + 12);
            box = text;
        } else {
            auto *line = new QLineEdit(frame);
            line->setReadOnly(true);
            box = line;
        }
        box->setObjectName(QStringLiteral("txtTargetBoard%1").arg(i));
        box->setFocusPolicy(Qt::ClickFocus);
        txtTargetBoard[i] = box;
        l->addWidget(box);
        lblTargetBoard[i]->setBuddy(box);
        if (i != 3)
            l->addSpacing(kFieldGap);
    }
    cmdResetFaults = new QPushButton(QStringLiteral("&Reset Faults"), page);
    cmdResetFaults->setObjectName(QStringLiteral("cmdResetFaults"));
    cmdResetFaults->setAutoDefault(false);
    cmdResetFaults->setEnabled(false);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cmdResetFaults);
    comms->addLayout(row);
    for (int i = 2; i <= 4; ++i)
        fraDescription[i] = nullptr;
    layout->addWidget(fraDescription[0]);
    layout->addWidget(fraDescription[1]);
    layout->addStretch(1);
    fraDescription[0]->setObjectName(QStringLiteral("fraDescription0"));
    fraDescription[1]->setObjectName(QStringLiteral("fraDescription1"));
    return page;
}

QWidget *frmTargetBoard::buildIdentPage()
{
    auto *page = new QWidget;
    auto *layout = new QHBoxLayout(page);
    fraDescription[3] = new QGroupBox(QStringLiteral("In Target Board:"), page);
    fraDescription[2] = new QGroupBox(QStringLiteral("On Disk:"), page);
    fraDescription[3]->setObjectName(QStringLiteral("fraDescription3"));
    fraDescription[2]->setObjectName(QStringLiteral("fraDescription2"));
    const char *inBoard[3] = {"Name:", "Revision:", "Checksum:"};
    const char *onDisk[5] = {"Name:", "Revision:", "Checksum:", "Target Board:", "Rev Date:"};
    auto *g1 = new QGridLayout(fraDescription[3]);
    auto *g2 = new QGridLayout(fraDescription[2]);
    for (int k = 0; k < 3; ++k) {
        lblTargetBoard[6 + k] = new QLabel(QString::fromLatin1(inBoard[k]), fraDescription[3]);
        lblRevIdentInPLC[k] = valueLabel(QStringLiteral("lblRevIdentInPLC%1").arg(k), fraDescription[3]);
        g1->addWidget(lblTargetBoard[6 + k], k, 0);
        g1->addWidget(lblRevIdentInPLC[k], k, 1);
    }
    for (int k = 0; k < 5; ++k) {
        lblTargetBoard[9 + k] = new QLabel(QString::fromLatin1(onDisk[k]), fraDescription[2]);
        lblRevIdentOnDisk[k] = valueLabel(QStringLiteral("lblRevIdentOnDisk%1").arg(k), fraDescription[2]);
        g2->addWidget(lblTargetBoard[9 + k], k, 0);
        g2->addWidget(lblRevIdentOnDisk[k], k, 1);
    }
    for (int k = 6; k < 14; ++k)
        lblTargetBoard[k]->setObjectName(QStringLiteral("lblTargetBoard%1").arg(k));
    g1->setColumnStretch(1, 1);
    g2->setColumnStretch(1, 1);
    g1->setRowStretch(3, 1);
    g2->setRowStretch(5, 1);
    layout->addWidget(fraDescription[3], 1);
    layout->addWidget(fraDescription[2], 1);
    return page;
}

namespace {
// An entry field: its box with the up-down beside it.
QHBoxLayout *fieldPair(QLineEdit *box, UpDown *ud)
{
    auto *pair = new QHBoxLayout;
    pair->setSpacing(0);
    pair->addWidget(box);
    pair->addWidget(ud);
    return pair;
}
}   // namespace

QWidget *frmTargetBoard::buildNetworkPage()
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    fraDescription[4] = new QGroupBox(QStringLiteral("Target Board Network Address:"), page);
    fraDescription[4]->setObjectName(QStringLiteral("fraDescription4"));
    auto *grid = new QGridLayout(fraDescription[4]);
    const int boxWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 16;
    for (int i = 0; i < 8; ++i) {
        QWidget *parent = i < 2 ? static_cast<QWidget *>(fraDescription[4]) : nullptr;
        lblSetupDesc[i] = new QLabel(QString::fromLatin1(kFields[i].caption), parent);
        lblSetupDesc[i]->setObjectName(QStringLiteral("lblSetupDesc%1").arg(i));
        txtSetup[i] = new QLineEdit(parent);
        txtSetup[i]->setObjectName(QStringLiteral("txtSetup%1").arg(i));
        txtSetup[i]->setFixedWidth(boxWidth);
        txtSetup[i]->setAlignment(Qt::AlignRight);
        updSetup[i] = new UpDown(txtSetup[i], kFields[i].lower, kFields[i].upper, parent);
        updSetup[i]->setObjectName(QStringLiteral("updSetup%1").arg(i));
        lblSetupDesc[i]->setBuddy(txtSetup[i]);
        entries_->add(i, txtSetup[i], updSetup[i], QStringLiteral("Set-up") + lblSetupDesc[i]->text());
    }
    for (int i = 0; i < 2; ++i) {
        grid->addWidget(lblSetupDesc[i], i, 0);
        grid->addLayout(fieldPair(txtSetup[i], updSetup[i]), i, 1, Qt::AlignLeft);
    }
    grid->setColumnStretch(2, 1);
    lblNetworkAddComment = new QLabel(fraDescription[4]);
    lblNetworkAddComment->setObjectName(QStringLiteral("lblNetworkAddComment"));
    lblNetworkAddComment->setWordWrap(true);
    grid->addWidget(lblNetworkAddComment, 2, 0, 1, 3);
    grid->setRowMinimumHeight(2, fontMetrics().lineSpacing() * 5);
    layout->addWidget(fraDescription[4]);
    layout->addStretch(1);
    return page;
}

QWidget *frmTargetBoard::buildClockPage()
{
    auto *page = new QWidget;
    auto *grid = new QGridLayout(page);
    grid->setHorizontalSpacing(10);
    lblBoardTime = new QLabel(QStringLiteral("Target Board Time:"), page);
    lblBoardTime->setObjectName(QStringLiteral("lblBoardTime"));
    lblBoardDate = new QLabel(QStringLiteral("Target Board Date:"), page);
    lblBoardDate->setObjectName(QStringLiteral("lblBoardDate"));
    auto *currTime = new QLabel(QStringLiteral("Current Time:"), page);
    auto *currDate = new QLabel(QStringLiteral("Current Date:"), page);
    currTime->setObjectName(QStringLiteral("lblCurrTimeCaption"));
    currDate->setObjectName(QStringLiteral("lblCurrDateCaption"));
    lblCurrTime = new QLabel(QStringLiteral("XX : XX : XX"), page);
    lblCurrTime->setObjectName(QStringLiteral("lblCurrTime"));
    lblCurrDate = new QLabel(QStringLiteral("XX - XX - XX"), page);
    lblCurrDate->setObjectName(QStringLiteral("lblCurrDate"));
    cmdSetToCurrTime = new QPushButton(QStringLiteral("Set to Current &Time"), page);
    cmdSetToCurrTime->setObjectName(QStringLiteral("cmdSetToCurrTime"));
    cmdSetToCurrDate = new QPushButton(QStringLiteral("Set to Current &Date"), page);
    cmdSetToCurrDate->setObjectName(QStringLiteral("cmdSetToCurrDate"));
    cmdSetToCurrTime->setAutoDefault(false);
    cmdSetToCurrDate->setAutoDefault(false);

    // Each row: its caption, three fields with their short captions above,
    // the PC's clock and its set button.
    auto addRow = [&](int row, QLabel *caption, int firstField, QLabel *currCaption, QLabel *curr, QPushButton *set) {
        grid->addWidget(caption, row + 1, 0);
        for (int k = 0; k < 3; ++k) {
            const int i = firstField + k;
            lblSetupDesc[i]->setParent(page);
            txtSetup[i]->setParent(page);
            updSetup[i]->setParent(page);
            grid->addWidget(lblSetupDesc[i], row, 1 + k, Qt::AlignLeft | Qt::AlignBottom);
            grid->addLayout(fieldPair(txtSetup[i], updSetup[i]), row + 1, 1 + k, Qt::AlignLeft);
        }
        auto *pc = new QHBoxLayout;
        pc->setSpacing(10);
        pc->addWidget(currCaption);
        pc->addWidget(curr);
        pc->addStretch(1);
        grid->addLayout(pc, row + 2, 1, 1, 3);
        grid->addWidget(set, row + 1, 4);
        grid->setRowMinimumHeight(row + 3, 14);
    };
    addRow(0, lblBoardTime, 2, currTime, lblCurrTime, cmdSetToCurrTime);
    addRow(4, lblBoardDate, 5, currDate, lblCurrDate, cmdSetToCurrDate);

    lblNote = new QLabel(QStringLiteral("Note:"), page);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    auto *noteText = new QLabel(QStringLiteral("Only the V5435 Display Module and the K2713 Communications CO-CPU "
                                               "board are equipped with real time clocks."),
                                page);
    noteText->setObjectName(QStringLiteral("lblNoteText"));
    noteText->setWordWrap(true);
    grid->addWidget(lblNote, 8, 0, Qt::AlignTop);
    grid->addWidget(noteText, 8, 1, 1, 4);
    grid->setColumnStretch(5, 1);
    grid->setRowStretch(9, 1);
    return page;
}

QString frmTargetBoard::boxText(int i) const
{
    if (i < 0 || i >= 6 || !txtTargetBoard[i])
        return QString();
    if (auto *l = qobject_cast<QLineEdit *>(txtTargetBoard[i]))
        return l->text();
    return static_cast<QPlainTextEdit *>(txtTargetBoard[i])->toPlainText();
}

void frmTargetBoard::setBoxText(int i, const QString &text)
{
    if (auto *l = qobject_cast<QLineEdit *>(txtTargetBoard[i])) {
        l->setText(text);
        l->setCursorPosition(0);
        l->setToolTip(text);
    } else if (auto *p = qobject_cast<QPlainTextEdit *>(txtTargetBoard[i])) {
        p->setPlainText(text);
    }
}

void frmTargetBoard::setFieldRowEnabled(int i, bool enabled)
{
    lblSetupDesc[i]->setEnabled(enabled);
    txtSetup[i]->setEnabled(enabled);
    updSetup[i]->setEnabled(enabled);
}

void frmTargetBoard::setClockControlsEnabled(bool enabled)
{
    lblBoardTime->setEnabled(enabled);
    lblBoardDate->setEnabled(enabled);
    cmdSetToCurrTime->setEnabled(enabled);
    cmdSetToCurrDate->setEnabled(enabled);
}

void frmTargetBoard::showPage(int index)
{
    for (int t = 0; t < 4; ++t)
        fraTargetBoard[t]->setVisible(t == index);
}

// ---- Opening ------------------------------------------------------------------

void frmTargetBoard::InitializeForm(const QString &TarnexFile)
{
    if (!PrepareForm(TarnexFile))
        return;
    exec();
}

bool frmTargetBoard::PrepareForm(const QString &TarnexFile)
{
    QString hexPath;
    if (QFileInfo::exists(TarnexFile)) {
        const QString revPath = AppFolder::resolveAbsolute(ChangeExtension(TarnexFile, QStringLiteral("rev")));
        BoardType = ProgramTypeCode(TarnexFile);
        ProgramName = QStringLiteral("-");
        ProgramRevision = 0;
        ProgramChecksum = 0;
        const QFileInfo rev(revPath);
        if (rev.exists() && rev.size() > 0) {
            const FileBytes file = readRegularFile(revPath, BoardIdentity::kMaxCodeFileBytes, LargerFile::ReadInPart);
            if (!file.ok()) {
                dialogs_.message(
                    Dialogs::Icon::Information, QStringLiteral("InitializeForm"),
                    Dialogs::fileAccessErrorText(file.error));
                return false;
            }
            const QString s = TextItems::first(Ansi::decode(file.bytes));
            if (s.size() < 4) {
                dialogs_.message(Dialogs::Icon::Information, QStringLiteral("InitializeForm"),
                                 Dialogs::trappedErrorText(5, QStringLiteral("Invalid procedure call or argument")));
                return false;
            }
            ProgramName = s.left(s.size() - 4);
            ProgramRevision = hexValue(RSComm::MarkHex2HEX(s.right(2)));
            ProgramChecksum = hexValue(RSComm::MarkHex2HEX(s.mid(s.size() - 4, 2)));
            hexPath = AppFolder::resolveAbsolute(ChangeExtension(TarnexFile, QStringLiteral("hex")));
        }
    }

    FieldAddress.clear();
    for (const Field &f : kFields)
        FieldAddress << QString::fromLatin1(f.address);
    lblNetworkAddComment->setText(QStringLiteral("Each K2700 board connected to the K2700 Network must be ")
                                  + QStringLiteral("assigned a unique network address between 1 and 32.")
                                  + QStringLiteral("\r\n\r\n")
                                  + QStringLiteral("System function sfunc19(); configures the K2950 serial ")
                                  + QStringLiteral("communication for the T6850 processor."));

    cmdGoOnline->hide();
    lblTargetBoard[2]->hide();
    lblSetupDesc[1]->hide();
    txtSetup[1]->hide();
    updSetup[1]->hide();
    for (int i = 2; i < 8; ++i) {
        txtSetup[i]->setText(QStringLiteral("-"));
        setFieldRowEnabled(i, false);
    }
    setClockControlsEnabled(false);

    if (BoardType == 50) {
        lblTargetBoard[2]->show();
    } else if (BoardType == 54 || BoardType == 65) {
        for (int i = 2; i < 8; ++i) {
            txtSetup[i]->setText(QStringLiteral("-"));
            setFieldRowEnabled(i, true);
        }
        setClockControlsEnabled(true);
        if (BoardType == 65) {
            lblSetupDesc[1]->show();
            txtSetup[1]->show();
            updSetup[1]->show();
            txtSetup[1]->clear();
        }
    }

    lblRevIdentOnDisk[0]->setText(ProgramName);
    lblRevIdentOnDisk[1]->setText(QString::number(ProgramRevision));
    lblRevIdentOnDisk[2]->setText(QString::number(ProgramChecksum));
    lblRevIdentOnDisk[3]->setText(RSComm::TargetboardName(BoardType));
    const QFileInfo hex(hexPath);
    lblRevIdentOnDisk[4]->setText(!hexPath.isEmpty() && hex.exists()
                                      ? QLocale().toString(hex.lastModified(), QLocale::ShortFormat)
                                      : QStringLiteral("-"));
    // As large as the tallest page needs with the rows this board shows, from
    // the start: a box raised while the window opens (the board not
    // answering) would otherwise leave it at its first, smaller size.
    resize(size().expandedTo(minimumSizeHint()));
    return true;
}

void frmTargetBoard::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous() && !PollActive)
        Form_Activate();
}

void frmTargetBoard::Form_Activate()
{
    CenterForm(this);
    showPage(0);   // the tab strip's selection is left as it is
    PollActive = true;
    // The window behind holds its own poll while this one uses the link.
    if (frmMDIMain *m = frmMDIMain::instance()) {
        if (ChildWindow *c = m->currentChild()) {
            heldChildPoll_ = c->pollLoop();
            if (heldChildPoll_)
                heldChildPoll_->hold();
        }
    }
    // PollBoard: the first pass refreshes the clock labels; opening the
    // window puts the program online.
    LastSecond = -1;
    entries_->clearEscapePending();
    cmdGoOnline_Click();
    poll_.start();
}

void frmTargetBoard::endPoll()
{
    PollActive = false;
    poll_.stop();
    entries_->clearEditing();
    if (heldChildPoll_) {
        heldChildPoll_->release();
        heldChildPoll_ = nullptr;
    }
}

void frmTargetBoard::done(int r)
{
    // "&Ok", the title bar and Esc all end the poll before the window goes.
    endPoll();
    QDialog::done(r);
}

// ---- Views ----------------------------------------------------------------------

void frmTargetBoard::PassTop()
{
    const QDateTime now = pcClock().now();
    const QTime t = now.time();
    if (t.second() == LastSecond)
        return;
    LastSecond = t.second();
    const QDate d = now.date();
    lblCurrTime->setText(twoDigits(t.hour()) + QStringLiteral(" : ") + twoDigits(t.minute()) + QStringLiteral(" : ")
                         + twoDigits(t.second()));
    lblCurrDate->setText(twoDigits(d.month()) + QStringLiteral(" - ") + twoDigits(d.day()) + QStringLiteral(" - ")
                         + QString::number(d.year()));
}

bool frmTargetBoard::InitOnlineView()
{
    beginOnlineView();
    return true;
}

void frmTargetBoard::beginOnlineView()
{
    cmdResetFaults->setEnabled(false);
    for (QLabel *l : lblRevIdentInPLC)
        l->setEnabled(true);
    for (int i = 0; i < 8; ++i)
        if (!lblSetupDesc[i]->isHidden())
            setFieldRowEnabled(i, true);
    if (BoardType == 54 || BoardType == 65) {
        setClockControlsEnabled(true);
    } else {
        for (int i = 2; i < 8; ++i)
            setFieldRowEnabled(i, false);
        setClockControlsEnabled(false);
    }
    statusPending_ = true;
    statusNext_ = 0;
}

void frmTargetBoard::InitOfflineView()
{
    statusPending_ = false;
    entries_->clearEditing();
    cmdGoOnline->show();
    cmdResetFaults->setEnabled(false);
    for (int i : {0, 1, 3, 4, 5})
        setBoxText(i, QString::fromLatin1(kOfflineText));
    for (QLabel *l : lblRevIdentInPLC)
        l->setEnabled(false);
    for (int i = 0; i < 8; ++i)
        if (!lblSetupDesc[i]->isHidden())
            setFieldRowEnabled(i, false);
    setClockControlsEnabled(false);
}

void frmTargetBoard::lookUpTexts(const QString &file, int first, int second)
{
    const QString path = AppFolder::resolve(file);
    if (!QFileInfo::exists(path))
        return;
    const FileBytes bytes = readRegularFile(path, BoardIdentity::kMaxCodeFileBytes);
    if (!bytes.ok()) {
        // Told once per opening: the file stays unreadable on every later pass.
        if (!textErrorShown_) {
            textErrorShown_ = true;
            PollLoop::Hold hold(poll_);
            dialogs_.message(Dialogs::Icon::Information, QStringLiteral("TargetBoard FirstPass"),
                             Dialogs::fileAccessErrorText(bytes.error));
        }
        return;
    }
    const BoardIdentity::CodeRecords records = BoardIdentity::parseCodeRecords(Ansi::decode(bytes.bytes));
    for (int j : {first, second}) {
        for (const auto &r : records)
            if (r.first.compare(StatusCode[j], Qt::CaseInsensitive) == 0)
                setBoxText(j, r.second);   // the last match wins
    }
}

bool frmTargetBoard::statusStep()
{
    while (statusNext_ < kStatusDone) {
        const int a = statusNext_++;
        if (a < 6) {
            bool read = false;
            if (!link_.CommError) {
                LastValue = link_.RSRead(QString::fromLatin1(kStatusAddress[a]));
                read = true;
            }
            const qint64 v = NumericValue(LastValue);
            StatusCode[a] = link_.CommError ? QStringLiteral("42") : BoardIdentity::codeText(v);
            if (a != 2 && !link_.CommError && hexValue(StatusCode[a]) != 0)
                cmdResetFaults->setEnabled(true);
            if (a == 2) {
                if (!lblTargetBoard[2]->isHidden())
                    lblTargetBoard[2]->setText(QString::fromLatin1(kStatusCaption[2]) + QString::number(v));
            } else if (a != 3) {
                lblTargetBoard[a]->setText(QString::fromLatin1(kStatusCaption[a]) + StatusCode[a]
                                           + QStringLiteral("H"));
            }
            // A failed read leaves the rest of the view to be made without reads.
            if (read && !link_.CommError)
                return true;
        } else if (a == kFaultTexts) {
            lookUpTexts(QStringLiteral("\\Support\\FaultErrCodes.txt"), 0, 1);
        } else if (a == kSlotRead) {
            if (!lblTargetBoard[2]->isHidden() && !link_.CommError) {
                lblTargetBoard[2]->setText(QString::fromLatin1(kStatusCaption[2])
                                           + link_.RSRead(QString::fromLatin1(kStatusAddress[2])));
                if (!link_.CommError)
                    return true;
            }
        } else if (a == kCorrective) {
            setBoxText(3, CorrectiveAction(hexValue(StatusCode[3])));
        } else if (a == kCommTexts) {
            lookUpTexts(QStringLiteral("\\Support\\CommErrCodes.txt"), 4, 5);
        } else if (a < kStatusDone) {
            if (link_.CommError)
                continue;
            const int k = a - kFirstIdent;
            const int v = int(NumericValue(link_.RSRead(QStringLiteral("B%1").arg(kIdentAddress + k))));
            if (link_.CommError)
                continue;
            // Unused name characters are 0: they add nothing to the name.
            const QString ch = v > 0 && v < 256 ? QString(QChar(v)) : QString();
            if (k == 0)
                lblRevIdentInPLC[0]->setText(ch);
            else if (k < 8)
                lblRevIdentInPLC[0]->setText(lblRevIdentInPLC[0]->text() + ch);
            else if (k == 8)
                lblRevIdentInPLC[2]->setText(QString::number(v));
            else
                lblRevIdentInPLC[1]->setText(QString::number(v));
            return true;
        }
    }
    if (!link_.CommError)
        cmdGoOnline->hide();
    statusPending_ = false;
    return false;
}

void frmTargetBoard::BeginOnlinePass() { fieldNext_ = 0; }

bool frmTargetBoard::OnlineStep()
{
    if (statusPending_ && statusStep())
        return !link_.CommError;
    if (link_.CommError)
        return false;
    const int i = fieldNext_;
    LastValue = link_.RSRead(FieldAddress[i]);
    if (link_.CommError)
        return false;
    const bool shown = i < 2 ? !txtSetup[i]->isHidden() : txtSetup[i]->isEnabled();
    if (shown)
        entries_->show(i, (QStringLiteral("00") + LastValue).right(2));
    return ++fieldNext_ < 8;
}

// ---- Editing and buttons -----------------------------------------------------------

void frmTargetBoard::writeField(int i, const QString &text)
{
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(FieldAddress[i], text);
}

void frmTargetBoard::onAccepted(int index, qint32 value)
{
    // The value as checked goes to the board: the link would drop a decimal
    // point from the text as typed ("2.5" would reach the board as 25).
    const QString text = QString::number(value);
    txtSetup[index]->setText(text);
    writeField(index, text);
}

void frmTargetBoard::onStepped(int index, qint32, const QString &text) { writeField(index, text); }

void frmTargetBoard::cmdGoOnline_Click()
{
    if (link_.OnlineMode)
        return;
    link_.CommError = false;
    link_.OnlineMode = true;
    ::ApplyOnlineState();
    poll_.wake();
}

void frmTargetBoard::cmdResetFaults_Click()
{
    Dialogs::Button answer;
    {
        PollLoop::Hold hold(poll_);
        answer = dialogs_.messageBox(
            Dialogs::Icon::Critical, Dialogs::Buttons::YesNoCancel, QStringLiteral("WARNING - Fault Code Reset!"),
            QStringLiteral("Target Board will be reinitialized.\r\n\r\nDo you wish to continue?"));
    }
    if (answer != Dialogs::Button::Yes)
        return;
    cmdResetFaults->setEnabled(false);
    if (!link_.OnlineMode)
        return;
    for (const char *a : {"B8178", "B8179", "B8177", "B8176"})
        if (!link_.CommError)
            link_.RSWrite(QString::fromLatin1(a), QStringLiteral("0"));
    if (!link_.CommError)
        beginOnlineView();   // the status view is read again, step by step
}

void frmTargetBoard::writeIfOnline(const char *address, int value)
{
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(QString::fromLatin1(address), QString::number(value));
}

void frmTargetBoard::cmdSetToCurrTime_Click()
{
    // Each value is taken from the clock at the moment of its own write.
    writeIfOnline("B43012", pcClock().now().time().hour());
    writeIfOnline("B43010", pcClock().now().time().minute());
    writeIfOnline("B43008", pcClock().now().time().second());
}

void frmTargetBoard::cmdSetToCurrDate_Click()
{
    writeIfOnline("B43016", pcClock().now().date().month());
    writeIfOnline("B43015", pcClock().now().date().day());
    writeIfOnline("B43017", pcClock().now().date().year() % 100);
}

void frmTargetBoard::cmdOk_Click() { accept(); }
