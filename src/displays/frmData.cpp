#include "frmData.h"
#include "ChildCaption.h"
#include "Globals.h"
#include "RSComm.h"
#include "Utilities.h"
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QVBoxLayout>

namespace {
const char *const kFrameCaptions[7] = {
    "Leaker Reject", "Rejects Per Pocket", "Current Shift", "Rejects Per Pocket",
    "Last Shift",    "Rejects Per Pocket", "End of Shift",
};

// The first value index of each page's 16 pockets, and the word address of
// its pocket 1 (the pockets follow at two-byte steps).
struct PocketBlock {
    int firstIndex;
    int firstAddress;
};
constexpr PocketBlock kPockets[3] = {{1, 1020}, {20, 1116}, {39, 1216}};

// The value index range each page reads online.
constexpr int kPageFirst[3] = {0, 17, 36};
constexpr int kPageLast[3] = {16, 35, 54};

// Offline the values come from the set-up table: stored index = value index + 26.
constexpr int kStoredOffset = 26;

// A shift's totals and scrap percentages: value indices of its three counts,
// and of its first percentage.
constexpr int kTotalsFirst[2] = {17, 36};
constexpr int kPercentFirst[2] = {55, 58};
const char *const kTotalsCaptions[6] = {"Total Good Cans:", "Leaker Rejects:",  "Vision Rejects:",
                                        "%Scrap (total):",  "%Scrap (leaker):", "%Scrap (vision):"};
}   // namespace

frmData::frmData(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : ChildWindow(link, dialogs, parent), poll_(link, *this, this)
{
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Shift Data"));

    // The board address of every value index.
    FieldAddress.resize(FieldCount);
    FieldAddress[0] = QStringLiteral("B512");
    for (const PocketBlock &b : kPockets)
        for (int p = 1; p <= 16; ++p)
            FieldAddress[b.firstIndex + p - 1] = QStringLiteral("W%1").arg(b.firstAddress + 2 * (p - 1));
    for (int s = 0; s < 2; ++s)
        for (int k = 0; k < 3; ++k)
            FieldAddress[kTotalsFirst[s] + k] = QStringLiteral("D%1").arg(1100 + 100 * s + 4 * k);

    QVBoxLayout *body = AddCaptionBar(this);

    tbsData = new QTabBar(this);
    tbsData->setObjectName(QStringLiteral("tbsData"));
    tbsData->setExpanding(false);
    tbsData->setUsesScrollButtons(false);   // every tab in sight: the window is as wide as they need
    tbsData->addTab(QStringLiteral("&Rejects Per Pocket"));
    tbsData->addTab(QStringLiteral("&Current Shift"));
    tbsData->addTab(QStringLiteral("&Last Shift"));
    body->insertWidget(0, tbsData);

    // The three pages share one place; the tab shows one of them.
    auto *pages = new QWidget(this);
    auto *stack = new QGridLayout(pages);
    stack->setContentsMargins(0, 8, 0, 0);
    for (int i = 0; i < 3; ++i) {
        fraData[i] = new QFrame(pages);
        fraData[i]->setObjectName(QStringLiteral("fraData%1").arg(i));
        fraData[i]->setFrameShape(QFrame::NoFrame);
        stack->addWidget(fraData[i], 0, 0);
    }
    body->insertWidget(1, pages);

    // The counts are read from across the machine: larger type than the menus.
    // The frames are made inside the pages, so that every value panel is
    // measured in the type it shows.
    QFont pageFont = font();
    pageFont.setPointSizeF(pageFont.pointSizeF() * 1.25);
    pages->setFont(pageFont);
    tbsData->setFont(pageFont);
    for (int i = 0; i < 7; ++i) {
        fraDataDisplay[i] = new QGroupBox(QString::fromLatin1(kFrameCaptions[i]), pages);
        fraDataDisplay[i]->setObjectName(QStringLiteral("fraDataDisplay%1").arg(i));
    }
    const QFontMetrics fm(pageFont);
    const int wideValue = fm.horizontalAdvance(QStringLiteral("655,359,999")) + 16;
    const int pocketValue = fm.horizontalAdvance(QStringLiteral("65,535")) + 16;
    // A description and its value panel, in row r of a frame's grid, at column
    // pair c; an empty column parts two pairs. The numbers line up on the right.
    auto addValue = [&](QGroupBox *frame, QGridLayout *grid, int index, const QString &caption, int r, int c,
                        int width) {
        lblDescription[index] = new QLabel(caption, frame);
        lblDescription[index]->setObjectName(QStringLiteral("lblDescription%1").arg(index));
        lblData[index] = new QLabel(QStringLiteral("-"), frame);
        lblData[index]->setObjectName(QStringLiteral("lblData%1").arg(index));
        lblData[index]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lblData[index]->setFrameShape(QFrame::Panel);
        lblData[index]->setFrameShadow(QFrame::Sunken);
        lblData[index]->setMinimumWidth(width);
        FixValueLabelSize(lblData[index], QStringLiteral("8"));
        grid->addWidget(lblDescription[index], r, 3 * c);
        grid->addWidget(lblData[index], r, 3 * c + 1, Qt::AlignRight);
    };
    // Sixteen pockets in two columns of eight.
    auto fillPockets = [&](QGroupBox *frame, int firstIndex) {
        auto *grid = new QGridLayout(frame);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(8);
        for (int p = 1; p <= 16; ++p)
            addValue(frame, grid, firstIndex + p - 1, QStringLiteral("#%1").arg(p), (p - 1) % 8, (p - 1) / 8,
                     pocketValue);
        grid->setColumnMinimumWidth(0, fm.horizontalAdvance(QStringLiteral("#16")));
        grid->setColumnMinimumWidth(2, fm.height());
    };
    auto fillTotals = [&](QGroupBox *frame, int shift) {
        auto *grid = new QGridLayout(frame);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(8);
        for (int k = 0; k < 3; ++k)
            addValue(frame, grid, kTotalsFirst[shift] + k, QString::fromLatin1(kTotalsCaptions[k]), k, 0, wideValue);
        for (int k = 0; k < 3; ++k)
            addValue(frame, grid, kPercentFirst[shift] + k, QString::fromLatin1(kTotalsCaptions[3 + k]), 3 + k, 0,
                     wideValue);
    };
    auto pageLayout = [&](int page, std::initializer_list<QGroupBox *> left, QGroupBox *right) {
        auto *row = new QHBoxLayout(fraData[page]);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(16);
        auto *column = new QVBoxLayout;
        column->setSpacing(16);
        for (QGroupBox *g : left) {
            g->setParent(fraData[page]);
            column->addWidget(g);
        }
        column->addStretch(1);
        right->setParent(fraData[page]);
        row->addLayout(column);
        row->addWidget(right, 0, Qt::AlignTop);
        row->addStretch(1);
    };

    // Page 1: the running rejects per pocket.
    {
        QGroupBox *f = fraDataDisplay[0];
        auto *grid = new QGridLayout(f);
        grid->setHorizontalSpacing(10);
        addValue(f, grid, 0, QStringLiteral("Rejected Pocket:"), 0, 0, pocketValue);
        cmdResetRejects = new QPushButton(QStringLiteral("Re&set Rejects"), f);
        cmdResetRejects->setObjectName(QStringLiteral("cmdResetRejects"));
        PadButton(cmdResetRejects);
        grid->addWidget(cmdResetRejects, 1, 0, 1, 2);
        fillPockets(fraDataDisplay[1], kPockets[0].firstIndex);
        pageLayout(0, {fraDataDisplay[0]}, fraDataDisplay[1]);
    }
    // Page 2: the current shift, and the end of the shift.
    {
        fillTotals(fraDataDisplay[2], 0);
        fillPockets(fraDataDisplay[3], kPockets[1].firstIndex);
        auto *lay = new QVBoxLayout(fraDataDisplay[6]);
        cmdEndofShift = new QPushButton(QStringLiteral("&Transfer Data"), fraDataDisplay[6]);
        cmdEndofShift->setObjectName(QStringLiteral("cmdEndofShift"));
        PadButton(cmdEndofShift);
        lay->addWidget(cmdEndofShift);
        pageLayout(1, {fraDataDisplay[2], fraDataDisplay[6]}, fraDataDisplay[3]);
    }
    // Page 3: the last shift.
    {
        fillTotals(fraDataDisplay[4], 1);
        fillPockets(fraDataDisplay[5], kPockets[2].firstIndex);
        pageLayout(2, {fraDataDisplay[4]}, fraDataDisplay[5]);
    }

    // Takes the focus away from the buttons; not a tab stop.
    cmdDefault = new QPushButton(QStringLiteral("-"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setFocusPolicy(Qt::ClickFocus);
    cmdDefault->setFixedSize(16, 16);
    auto *corner = new QHBoxLayout;
    corner->addStretch(1);
    corner->addWidget(cmdDefault);
    body->addLayout(corner);

    // The buttons act on the mouse alone: press and release are watched
    // directly, and their clicked signal (also raised from the keyboard)
    // is left unused.
    momentary_[0].button = cmdResetRejects;
    momentary_[0].flag = QStringLiteral("F825");
    momentary_[1].button = cmdEndofShift;
    momentary_[1].flag = QStringLiteral("F87");
    for (Momentary &m : momentary_)
        m.button->installEventFilter(this);
    releaseRetry_.setSingleShot(true);
    releaseRetry_.setInterval(PollLoop::kBusyRetryMs);
    connect(&releaseRetry_, &QTimer::timeout, this, &frmData::retryReleases);

    connect(tbsData, &QTabBar::currentChanged, this, &frmData::tbsData_Click);
    for (int i = 1; i < 3; ++i)
        fraData[i]->hide();
}

void frmData::Form_Activate()
{
    // Activation always shows the first page.
    {
        const QSignalBlocker block(tbsData);
        tbsData->setCurrentIndex(0);
    }
    for (QFrame *f : fraData)
        f->hide();
    fraData[0]->show();
    FirstIndex = kPageFirst[0];
    LastIndex = kPageLast[0];
    TabChanged = false;
    poll_.start();
}

void frmData::Form_Unload()
{
    poll_.stop();
    // A button still held when the window goes: its flag is not left at 1.
    for (Momentary &m : momentary_) {
        m.held = false;
        if (!link_.isBusy())
            momentaryRelease(m);
    }
    releaseRetry_.stop();
}

void frmData::onlineStateChanged() { poll_.wake(); }

void frmData::tbsData_Click()
{
    const int t = tbsData->currentIndex();
    if (t < 0 || t > 2)
        return;
    for (QFrame *f : fraData)
        f->hide();
    fraData[t]->show();
    TabChanged = true;
    FirstIndex = kPageFirst[t];
    LastIndex = kPageLast[t];
}

bool frmData::eventFilter(QObject *watched, QEvent *event)
{
    for (Momentary &m : momentary_) {
        if (watched != m.button)
            continue;
        switch (event->type()) {
        // The second press of a double click arrives as a double-click event.
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: momentaryPress(m); break;
        case QEvent::MouseButtonRelease: momentaryRelease(m); break;
        default: break;
        }
    }
    return ChildWindow::eventFilter(watched, event);
}

void frmData::momentaryPress(Momentary &m)
{
    m.held = true;
    // Already at 1 (a second mouse button, or a release still owed).
    if (m.down)
        return;
    if (!m.button->isEnabled() || !link_.OnlineMode || link_.CommError || link_.isBusy())
        return;
    // Owed before the write goes out: a box raised inside it may see the release.
    m.down = true;
    link_.RSWrite(m.flag, QStringLiteral("1"));
    if (link_.lastAccessRefused()) {
        m.down = false;   // nothing went out, so no 0 is owed
        return;
    }
    if (!m.held)
        momentaryRelease(m);
}

void frmData::momentaryRelease(Momentary &m)
{
    m.held = false;
    if (!m.down)
        return;
    // Never inside another board access: the 0 goes out once the link is free.
    if (link_.isBusy()) {
        releaseRetry_.start();
        return;
    }
    m.down = false;
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(m.flag, QStringLiteral("0"));
}

void frmData::retryReleases()
{
    for (Momentary &m : momentary_)
        if (m.down && !m.held)
            momentaryRelease(m);
}

void frmData::BeginOnlinePass()
{
    // A tab chosen between passes: this pass reads the new page already.
    TabChanged = false;
    next_ = FirstIndex;
}

bool frmData::OnlineStep()
{
    if (TabChanged) {
        TabChanged = false;
        return false;
    }
    if (next_ < FirstIndex || next_ > LastIndex)
        return false;
    const int i = next_++;
    LastValue = link_.RSRead(FieldAddress[i]);
    if (link_.CommError)
        return false;
    showValue(i, NumericValue(LastValue));
    return next_ <= LastIndex;
}

void frmData::showValue(int index, qint64 value)
{
    ShowValueText(lblData[index], GroupedNumber(value));
    for (int s = 0; s < 2; ++s) {
        const int k = index - kTotalsFirst[s];
        if (k < 0 || k > 2)
            continue;
        (k == 0 ? GoodCans : k == 1 ? LeakerRejects : VisionRejects) = value;
        if (k == 2)
            ShowScrapPercentages(s + 1);
    }
}

void frmData::RefreshOffline()
{
    lblData[0]->setText(QStringLiteral("-"));
    for (int i = 1; i < FieldCount; ++i)
        showValue(i, CurrentSetup.Value.value(i + kStoredOffset));
}

void frmData::ShowScrapPercentages(int shift)
{
    const qint64 sum = GoodCans + LeakerRejects + VisionRejects;
    TotalCans = sum == 0 ? 1 : sum;
    const int b = kPercentFirst[shift == 1 ? 0 : 1];
    auto pct = [this](qint64 part) { return FixedNumber(float(double(part) / double(TotalCans) * 100.0), 2); };
    ShowValueText(lblData[b], pct(LeakerRejects + VisionRejects));
    ShowValueText(lblData[b + 1], pct(LeakerRejects));
    ShowValueText(lblData[b + 2], pct(VisionRejects));
}

void frmData::enableView(bool enabled)
{
    cmdEndofShift->setEnabled(enabled);
    cmdResetRejects->setEnabled(enabled);
    for (QGroupBox *g : fraDataDisplay)
        g->setEnabled(enabled);
    for (int i = 0; i < LabelCount; ++i) {
        lblData[i]->setEnabled(enabled);
        lblDescription[i]->setEnabled(enabled);
    }
}

bool frmData::InitOnlineView()
{
    enableView(true);
    return true;
}

void frmData::InitOfflineView()
{
    enableView(false);
    // The line is closed: a flag held at 1 cannot be cleared from here.
    for (Momentary &m : momentary_)
        m.down = false;
}
