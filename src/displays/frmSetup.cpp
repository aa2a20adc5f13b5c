#include "frmSetup.h"
#include "BoardMap.h"
#include "ChildCaption.h"
#include "Dialogs.h"
#include "EntryFields.h"
#include "Globals.h"
#include "RSComm.h"
#include "UpDown.h"
#include "Utilities.h"
#include <QFrame>
#include <QSignalBlocker>
#include <algorithm>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

namespace {

// How a field's value is shown.
enum class Format {
    Raw,     // the text as read; offline the stored value's digits
    Half,    // value / 2, one decimal
    Tenth,   // value / 10, one decimal
    Angle,   // resolver counts as degrees
    Flag,    // not shown: enables the zero-resolver button
};

struct Field {
    const char *label;     // description caption; nullptr where a frame names the field
    const char *address;   // nullptr: read as a companion of another field
    int lower, upper;      // bounds of an edit field
    Format format;
    int stored;   // index into the working set-up, -1 when not kept there
    int frame;    // fraSetup2 index holding the field
};

// The fields by index. The edit fields are those isEditIndex() names.
const Field kFields[frmSetup::FieldCount] = {
    {"Can &Presence Shifts (can PRX to discharge):", "B999", 0, 15, Format::Raw, 0, 0},
    {"&Leaker Reject Shifts (leak detector to discharge):", "B1000", 0, 15, Format::Raw, 1, 0},
    {"V&ision Reject Shifts (vision system to discharge):", "B1001", 0, 31, Format::Raw, 2, 0},
    {"Pocket #1 Shift &Offset:", "B998", 0, 15, Format::Raw, 3, 0},
    {"&Array Fault Offset:", "B997", 0, 15, Format::Raw, 4, 0},
    {"Can &Neck Size (0.01 in.):", "W1014", 180, 350, Format::Raw, 5, 1},
    {"Reject &Solenoid Pulse Time (msec.):", "W1016", 8, 50, Format::Raw, 6, 1},
    {"&Diverter Solenoid Pulse Time (0.01sec.):", "W1018", 0, 250, Format::Raw, 7, 1},
    {"Can Time (msec):", "B646", 0, 0, Format::Half, 8, 1},
    {"Blow-off Solenoid \"ON\" Time (msec):", "B644", 0, 0, Format::Half, 9, 1},
    {"Blow-off Solenoid \"Delay\" Time (msec):", "B645", 0, 0, Format::Half, 10, 1},
    {"Sync Timing (CH0&0) \"ON\" Position (deg.):", "W1004", 0, 359, Format::Raw, 11, 3},
    {"Pocket #1 Timing (CH0&1) \"ON\" Position (deg.):", "W1006", 0, 359, Format::Raw, 12, 3},
    {"Discharge Timing (CH0&2) \"ON\" Position (deg.):", "W1008", 0, 359, Format::Raw, 13, 3},
    {"PLC Timing (CH0&3) \"ON\" Position (deg.):", "W1010", 0, 359, Format::Raw, 14, 3},
    {nullptr, "W180", 0, 0, Format::Angle, -1, 4},
    {nullptr, "F56", 0, 0, Format::Flag, -1, 5},
    {"Can Check Speed:", "W1002", 0, 0, Format::Raw, 15, 6},
    {"Number of Cans in FIFO:", "B82", 0, 0, Format::Raw, 16, 6},
    {"Number of Cans in FIFO - Max:", "B1012", 0, 0, Format::Tenth, 17, 6},
    {"Number of Cans in FIFO - Min:", "B1013", 0, 0, Format::Tenth, 18, 6},
    {"Number of Cans in FIFO - Avg:", "B650", 0, 0, Format::Tenth, 19, 6},
    {"FIFO Low Corrections Count:", "B657", 0, 0, Format::Raw, 20, 6},
    {"FIFO High Corrections Count", "B656", 0, 0, Format::Raw, 21, 6},
    {"Missed Can Presence Count:", "B655", 0, 0, Format::Raw, 22, 6},
    {nullptr, "W556", 0, 0, Format::Raw, -1, 7},
    {"Machine Speed (CPM):", "W556", 0, 0, Format::Raw, -1, 8},
    {"Reject Receiver Input Position (deg.):", "W560", 0, 0, Format::Angle, 23, 8},
    {"Array Fault Receiver Input Position (deg.):", "W562", 0, 0, Format::Angle, 24, 8},
    {"Can Presence Sensor PRX Input Postion (deg.):", "W564", 0, 0, Format::Angle, 25, 8},
    {"Vision Reject Input Position (deg.):", "W566", 0, 0, Format::Angle, 26, 8},
    {"Rejected Pocket:", nullptr, 0, 0, Format::Raw, -1, 0},
    {"Faulted Array Head:", nullptr, 0, 0, Format::Raw, -1, 0},
};

const char *const kTabCaptions[frmSetup::PageCount] = {
    "&Reject Shift Registers", "&Blow-off Parameters", "&Machine Timing", "&Calibrate FIFO", "Critical &Input Postions",
};

const char *const kFrameCaptions[frmSetup::FrameCount] = {
    "Reject Shift Register Set-up",
    "Reject Blow-off Parameter Set-up",
    "Bad Can Blow-off",
    "Machine Timing",
    "Machine Position",
    "Absolute Position",
    "FIFO Error Detection",
    "Machine Speed (CPM)",
    "Critical Input Positions",
};

// Companion reads: the rejected pocket with field 3, the array fault flag
// and the faulted head with field 4.
const QString kRejectedPocket = QStringLiteral("B512");
const QString kArrayFaultFlag = QStringLiteral("F70");
const QString kFaultedArrayHead = QStringLiteral("B599");
const QString kZeroResolverFlag = QStringLiteral("F840");
const QString kCalibrateFifoFlag = QStringLiteral("F831");
const QString kFifoCounters[3] = {QStringLiteral("B655"), QStringLiteral("B656"), QStringLiteral("B657")};

const int kPageFirst[frmSetup::PageCount] = {0, 5, 11, 17, 26};
const int kPageLast[frmSetup::PageCount] = {4, 10, 16, 25, 30};

const QString kDash = QStringLiteral("-");

QString HalfText(qint64 v) { return FixedNumber(double(v) / 2.0, 1); }
QString TenthText(qint64 v) { return FixedNumber(double(v) / 10.0, 1); }

}   // namespace

int frmSetup::pageFirst(int page) { return page >= 0 && page < PageCount ? kPageFirst[page] : 0; }
int frmSetup::pageLast(int page) { return page >= 0 && page < PageCount ? kPageLast[page] : -1; }

frmSetup::frmSetup(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : ChildWindow(link, dialogs, parent), poll_(link, *this, this)
{
    setObjectName(QStringLiteral("frmSetup"));
    setWindowTitle(QStringLiteral("Set-Up"));
    for (int i = 0; i < AddressedFields; ++i)
        FieldAddress.append(QString::fromLatin1(kFields[i].address));

    QVBoxLayout *body = AddCaptionBar(this);

    // Takes the focus away from a text box; not a tab stop. Made first: the
    // entry fields hand the focus to it.
    cmdDefault = new QPushButton(kDash, this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setFocusPolicy(Qt::ClickFocus);
    cmdDefault->setFixedSize(16, 16);
    entries_ = new EntryFields(dialogs, cmdDefault, this);
    entries_->setPoll(&poll_);

    buildPages();

    // The tab strip takes the focus when clicked, so a text box being edited
    // is checked before the page changes and no field of the new page
    // receives the focus (and starts editing a value not read yet).
    tbsSetup = new QTabBar(this);
    tbsSetup->setObjectName(QStringLiteral("tbsSetup"));
    tbsSetup->setFocusPolicy(Qt::StrongFocus);
    tbsSetup->setExpanding(false);
    tbsSetup->setUsesScrollButtons(false);   // every tab in sight: the window is as wide as they need
    tbsSetup->setDrawBase(false);
    for (const char *caption : kTabCaptions)
        tbsSetup->addTab(QString::fromLatin1(caption));

    auto *pane = new QFrame(this);
    pane->setFrameShape(QFrame::StyledPanel);
    pane->setFrameShadow(QFrame::Raised);
    auto *paneLay = new QVBoxLayout(pane);
    paneLay->setContentsMargins(8, 8, 8, 8);
    paneLay->addWidget(pages_);

    auto *tabs = new QVBoxLayout;
    tabs->setSpacing(0);
    tabs->addWidget(tbsSetup);
    tabs->addWidget(pane, 1);
    body->insertLayout(0, tabs, 1);
    body->setStretch(1, 0);   // the pages take the height, not the bar's spacer

    auto *corner = new QHBoxLayout;
    corner->addStretch(1);
    corner->addWidget(cmdDefault);
    body->addLayout(corner);

    connect(tbsSetup, &QTabBar::currentChanged, this, [this](int t) { tbsSetup_Click(t + 1); });
    connect(entries_, &EntryFields::accepted, this, &frmSetup::onAccepted);
    connect(entries_, &EntryFields::stepped, this, &frmSetup::onStepped);
    connect(cmdZeroResolver, &QPushButton::clicked, this, &frmSetup::cmdZeroResolver_Click);
    connect(cmdTestBlowoff, &QPushButton::clicked, this, &frmSetup::cmdTestBlowoff_Click);
    connect(cmdCalibrateFIFO, &QPushButton::clicked, this, &frmSetup::cmdCalibrateFIFO_Click);
}

void frmSetup::buildPages()
{
    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("pages"));
    for (int p = 0; p < PageCount; ++p) {
        fraSetup[p] = new QWidget(pages_);
        fraSetup[p]->setObjectName(QStringLiteral("fraSetup%1").arg(p));
        pages_->addWidget(fraSetup[p]);
    }
    const int pageOfFrame[FrameCount] = {0, 1, 1, 2, 2, 2, 3, 3, 4};
    std::array<QGridLayout *, FrameCount> grids{};
    for (int f = 0; f < FrameCount; ++f) {
        fraSetup2[f] = new QGroupBox(QString::fromLatin1(kFrameCaptions[f]), fraSetup[pageOfFrame[f]]);
        fraSetup2[f]->setObjectName(QStringLiteral("fraSetup2%1").arg(f));
        grids[f] = new QGridLayout(fraSetup2[f]);
        grids[f]->setHorizontalSpacing(16);
        grids[f]->setVerticalSpacing(6);
    }

    // Value boxes share one width, so they line up down a page: room for
    // any value a set-up file can hold, a 32-bit number.
    const QFontMetrics fm(font());
    const int valueWidth = fm.horizontalAdvance(QStringLiteral("-2147483648")) + 16;

    auto addDisplay = [&](int i, QWidget *parentFrame) {
        auto *l = new QLabel(kDash, parentFrame);
        l->setObjectName(QStringLiteral("lblDisplay%1").arg(i));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        l->setFixedWidth(valueWidth + 18);
        l->setMargin(3);
        lblDisplay[i] = l;
        return l;
    };

    // Rows: description on the left, value box on the right.
    std::array<int, FrameCount> rows{};
    QList<QWidget *> tabOrder;
    auto addRow = [&](int i) {
        const Field &fd = kFields[i];
        QGroupBox *frame = fraSetup2[fd.frame];
        QGridLayout *g = grids[fd.frame];
        const int row = rows[fd.frame]++;
        if (fd.label) {
            auto *d = new QLabel(QString::fromLatin1(fd.label), frame);
            d->setObjectName(QStringLiteral("lblDescription%1").arg(i));
            lblDescription[i] = d;
            g->addWidget(d, row, 0);
        }
        if (isEditIndex(i)) {
            auto *t = new QLineEdit(frame);
            t->setObjectName(QStringLiteral("txtSetup%1").arg(i));
            t->setAlignment(Qt::AlignRight);
            t->setFixedWidth(valueWidth);
            auto *u = new UpDown(t, fd.lower, fd.upper, frame);
            u->setObjectName(QStringLiteral("updSetup%1").arg(i));
            txtSetup[i] = t;
            updSetup[i] = u;
            auto *box = new QHBoxLayout;
            box->setSpacing(0);
            box->addWidget(t);
            box->addWidget(u);
            box->addStretch(1);
            g->addLayout(box, row, 1);
            // Alt+ the marked letter goes to the text box.
            lblDescription[i]->setBuddy(t);
            entries_->add(i, t, u, QStringLiteral("Set-up") + lblDescription[i]->text());
            tabOrder.append(t);
        } else {
            g->addWidget(addDisplay(i, frame), row, 1, Qt::AlignLeft);
        }
    };

    // Page 1: the shift registers, with the rejected pocket and the faulted
    // array head beside the offsets they belong to.
    for (int i : {0, 1, 2, 3, 31, 4, 32})
        addRow(i);
    for (int i = 5; i <= 14; ++i)
        addRow(i);
    for (int i = 17; i <= 24; ++i)
        addRow(i);
    for (int i = 26; i <= 30; ++i)
        addRow(i);
    // Fields named by their frame: the machine position (15), the absolute
    // resolver value (16, the raw position) and the machine speed (25).
    for (int i : {15, 16, 25})
        grids[kFields[i].frame]->addWidget(addDisplay(i, fraSetup2[kFields[i].frame]), 0, 0, Qt::AlignLeft);

    cmdTestBlowoff = new QPushButton(QStringLiteral("&Test Blow-off Solenoid"), fraSetup2[2]);
    cmdTestBlowoff->setObjectName(QStringLiteral("cmdTestBlowoff"));
    grids[2]->addWidget(cmdTestBlowoff, 0, 0, Qt::AlignLeft);
    cmdZeroResolver = new QPushButton(QStringLiteral("&Zero Resolver"), fraSetup2[5]);
    cmdZeroResolver->setObjectName(QStringLiteral("cmdZeroResolver"));
    grids[5]->addWidget(cmdZeroResolver, 0, 1, Qt::AlignLeft);
    cmdCalibrateFIFO = new QPushButton(QStringLiteral("C&alibrate FIFO"), fraSetup[3]);
    cmdCalibrateFIFO->setObjectName(QStringLiteral("cmdCalibrateFIFO"));
    for (QPushButton *b : {cmdTestBlowoff, cmdZeroResolver, cmdCalibrateFIFO})
        PadButton(b);

    // Descriptions take the room they need; the value boxes line up in the
    // second column of every frame of a page.
    for (int p = 0; p < PageCount; ++p) {
        int width = 0;
        for (int i = 0; i < FieldCount; ++i)
            if (lblDescription[i] && pageOfFrame[kFields[i].frame] == p)
                width = std::max(width, lblDescription[i]->sizeHint().width());
        for (int f = 0; f < FrameCount; ++f)
            if (pageOfFrame[f] == p && rows[f] > 0) {
                grids[f]->setColumnMinimumWidth(0, width);
                grids[f]->setColumnStretch(2, 1);
            }
    }
    for (int f : {4, 5, 7})
        grids[f]->setColumnStretch(2, 1);

    auto page = [&](int p) {
        auto *v = new QVBoxLayout(fraSetup[p]);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(10);
        return v;
    };
    page(0)->addWidget(fraSetup2[0]);
    {
        QVBoxLayout *v = page(1);
        v->addWidget(fraSetup2[1]);
        v->addWidget(fraSetup2[2]);
    }
    {
        QVBoxLayout *v = page(2);
        v->addWidget(fraSetup2[3]);
        auto *h = new QHBoxLayout;
        h->addWidget(fraSetup2[4], 1);
        h->addWidget(fraSetup2[5], 2);
        v->addLayout(h);
    }
    {
        QVBoxLayout *v = page(3);
        v->addWidget(fraSetup2[6]);
        auto *h = new QHBoxLayout;
        h->addWidget(fraSetup2[7], 1);
        h->addWidget(cmdCalibrateFIFO, 0, Qt::AlignBottom);
        h->addStretch(1);
        v->addLayout(h);
    }
    page(4)->addWidget(fraSetup2[8]);
    for (int p = 0; p < PageCount; ++p)
        static_cast<QVBoxLayout *>(fraSetup[p]->layout())->addStretch(1);

    // Tab order: the fields in order, then the page's button.
    tabOrder.insert(tabOrder.indexOf(txtSetup[11]), cmdTestBlowoff);
    tabOrder.append(cmdZeroResolver);
    tabOrder.append(cmdCalibrateFIFO);
    for (int k = 1; k < tabOrder.size(); ++k)
        QWidget::setTabOrder(tabOrder[k - 1], tabOrder[k]);
}

void frmSetup::Form_Activate()
{
    {
        const QSignalBlocker quiet(tbsSetup);
        pages_->setCurrentIndex(0);
    }
    FirstIndex = 0;
    LastIndex = 4;
    poll_.start();
}

void frmSetup::Form_Unload()
{
    entries_->clearEditing();
    poll_.stop();
}

void frmSetup::onlineStateChanged() { poll_.wake(); }

void frmSetup::setRange(int page)
{
    FirstIndex = qint16(pageFirst(page));
    LastIndex = qint16(pageLast(page));
}

void frmSetup::tbsSetup_Click(int tab)
{
    const int page = tab - 1;
    if (page < 0 || page >= PageCount)
        return;
    if (tbsSetup->currentIndex() != page) {
        const QSignalBlocker quiet(tbsSetup);
        tbsSetup->setCurrentIndex(page);
    }
    // A field of the old page being edited is left (and checked) now, so the
    // page change does not carry the focus into a field of the new page.
    QWidget *focus = window()->focusWidget();
    if (focus && pages_->isAncestorOf(focus))
        tbsSetup->setFocus(Qt::OtherFocusReason);
    pages_->setCurrentIndex(page);
    TabChanged = true;
    setRange(page);
    // Offline the new page is filled at once.
    poll_.wake();
}

// ---- The poll ------------------------------------------------------------------

void frmSetup::BeginOnlinePass()
{
    next_ = FirstIndex;
    passLast_ = LastIndex;
    read_ = Read::Field;
}

bool frmSetup::OnlineStep()
{
    if (TabChanged) {
        TabChanged = false;
        return false;
    }
    if (next_ > passLast_)
        return false;
    const int i = next_;
    bool more = false;   // the same field has another read
    switch (read_) {
    case Read::Field:
        LastValue = link_.RSRead(FieldAddress[i]);
        if (link_.CommError)
            return false;
        showOnline(i);
        more = i == 3 || i == 4;
        break;
    case Read::Second:
        if (i == 3) {
            const QString pocket = link_.RSRead(kRejectedPocket);
            if (link_.CommError)
                return false;
            ShowValueText(lblDisplay[31], pocket);
        } else {
            const QString fault = link_.RSRead(kArrayFaultFlag);
            if (link_.CommError)
                return false;
            more = NumericValue(fault) > 0;
            if (!more)
                ShowValueText(lblDisplay[32], kDash);
        }
        break;
    case Read::Third: {
        const QString head = link_.RSRead(kFaultedArrayHead);
        if (link_.CommError)
            return false;
        ShowValueText(lblDisplay[32], head);
        break;
    }
    }
    if (more) {
        read_ = read_ == Read::Field ? Read::Second : Read::Third;
        return true;
    }
    read_ = Read::Field;
    ++next_;
    return next_ <= passLast_;
}

void frmSetup::showOnline(int i)
{
    const Field &fd = kFields[i];
    if (isEditIndex(i)) {
        entries_->show(i, LastValue);
        return;
    }
    const qint64 v = NumericValue(LastValue);
    switch (fd.format) {
    case Format::Raw: ShowValueText(lblDisplay[i], LastValue); break;
    case Format::Half: ShowValueText(lblDisplay[i], HalfText(v)); break;
    case Format::Tenth: ShowValueText(lblDisplay[i], TenthText(v)); break;
    case Format::Angle:
        ShowValueText(lblDisplay[i], AngleText(v));
        if (i == 15)
            ShowValueText(lblDisplay[16], LastValue);
        break;
    case Format::Flag: cmdZeroResolver->setEnabled(v != 0); break;
    }
}

void frmSetup::RefreshOffline()
{
    if (SeenOfflineEditing != OfflineEditing) {
        SeenOfflineEditing = OfflineEditing;
        poll_.invalidateOfflineView();
    }
    for (int i = FirstIndex; i <= LastIndex; ++i)
        showOffline(i);
}

void frmSetup::showOffline(int i)
{
    const Field &fd = kFields[i];
    if (fd.stored < 0)
        return;   // not kept in the set-up: keeps its "-"
    const qint32 v = CurrentSetup.Value.value(fd.stored);
    if (isEditIndex(i)) {
        entries_->show(i, QString::number(v));
        return;
    }
    switch (fd.format) {
    case Format::Raw: ShowValueText(lblDisplay[i], QString::number(v)); break;
    case Format::Half: ShowValueText(lblDisplay[i], HalfText(v)); break;
    case Format::Tenth: ShowValueText(lblDisplay[i], TenthText(v)); break;
    case Format::Angle: ShowValueText(lblDisplay[i], AngleText(v)); break;
    case Format::Flag: break;
    }
}

bool frmSetup::InitOnlineView()
{
    // Editing ends before the focus moves, so a half-typed entry is neither
    // checked nor written by the change of view.
    entries_->clearEditing();
    cmdDefault->setFocus(Qt::OtherFocusReason);
    for (QGroupBox *f : fraSetup2)
        f->setEnabled(true);
    cmdTestBlowoff->setEnabled(true);
    cmdCalibrateFIFO->setEnabled(true);
    cmdZeroResolver->setEnabled(false);   // the read of the resolver flag enables it
    for (int i = 0; i < FieldCount; ++i) {
        if (lblDescription[i])
            lblDescription[i]->setEnabled(true);
        if (lblDisplay[i])
            lblDisplay[i]->setEnabled(true);
        if (isEditIndex(i)) {
            txtSetup[i]->setEnabled(true);
            updSetup[i]->setEnabled(true);
        }
    }
    return true;
}

void frmSetup::InitOfflineView()
{
    entries_->clearEditing();
    cmdDefault->setFocus(Qt::OtherFocusReason);
    cmdZeroResolver->setEnabled(false);
    cmdTestBlowoff->setEnabled(false);
    cmdCalibrateFIFO->setEnabled(false);
    const bool editable = OfflineEditing;
    for (int f = 0; f < FrameCount; ++f)
        fraSetup2[f]->setEnabled(editable && (f == 0 || f == 1 || f == 3));
    for (int i = 0; i < FieldCount; ++i) {
        const bool edit = isEditIndex(i);
        if (lblDescription[i])
            lblDescription[i]->setEnabled(editable && edit);
        if (lblDisplay[i]) {
            lblDisplay[i]->setEnabled(false);
            ShowValueText(lblDisplay[i], kDash);
        }
        if (edit) {
            txtSetup[i]->setEnabled(editable);
            updSetup[i]->setEnabled(editable);
        }
    }
}

// ---- Entries and commands --------------------------------------------------------

void frmSetup::onAccepted(int i, qint32 value)
{
    if (i < 0 || i >= CurrentSetup.Value.size())
        return;
    CurrentSetup.Value[i] = value;
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(FieldAddress[i], QString::number(value));
}

void frmSetup::onStepped(int i, qint32 value, const QString &text)
{
    if (i < 0 || i >= CurrentSetup.Value.size())
        return;
    CurrentSetup.Value[i] = value;
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(FieldAddress[i], text);
}

void frmSetup::writeCommand(const QString &address, const QString &value)
{
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(address, value);
}

void frmSetup::cmdZeroResolver_Click()
{
    Dialogs::Button answer;
    {
        const PollLoop::Hold hold(poll_);
        answer = dialogs_.messageBox(
            Dialogs::Icon::Question, Dialogs::Buttons::YesNoCancel, QStringLiteral("Zero Resolver"),
            QStringLiteral("You are about change the Resolver offset.\r\n\r\nDo you wish to continue?"));
    }
    if (answer == Dialogs::Button::Yes)
        writeCommand(kZeroResolverFlag, QStringLiteral("1"));
}

void frmSetup::cmdTestBlowoff_Click() { writeCommand(BoardMap::TestBlowOffFlag, QStringLiteral("1")); }

void frmSetup::cmdCalibrateFIFO_Click()
{
    writeCommand(kCalibrateFifoFlag, QStringLiteral("1"));
    for (const QString &counter : kFifoCounters)
        writeCommand(counter, QStringLiteral("0"));
}
