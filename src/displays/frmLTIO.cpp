#include "frmLTIO.h"
#include "ChildCaption.h"
#include "RSComm.h"
#include "Utilities.h"
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
const char *const kFrameCaptions[5] = {"T6850", "Timing", "Slot0-0", "Slot0-1", "Slot0-2"};

// What each read of a pass fetches, in order.
const char *const kAddresses[frmLTIO::FieldCount] = {
    "F16", "F17", "W162", "W164", "B166", "B167", "W180", "W556", "W184", "W186", "W188", "B170", "W100", "W110", "W62",
};

const char *const kControllerCaptions[11] = {
    "IN0:",          "IN1:",          "Analog Input 0:",  "Analog Input 1:", "Analog Output 0:", "Analog Output 1:",
    "Resolver POS:", "Resolver RPM:", "Resolver Period:", "Scale Factor:",   "Offset:",
};
// The controller's values in related groups; a thin line after each but the last.
constexpr int kLineAfter[6] = {1, 3, 5, 6, 7, 8};

// Value indices of the four bit groups, and the two bytes each word spans.
constexpr int kFirstBitGroup = 11;
constexpr int kSlotBytes[3] = {100, 110, 62};

// Point b (0..15) of a group is numbered 0..7 and 10..17.
int PointNumber(int b) { return b < 8 ? b : b + 2; }

QString SlotCaption(int byteAddress, int b)
{
    return QStringLiteral("(B%1.%2)%3%4:")
        .arg(byteAddress + b / 8)
        .arg(b % 8)
        .arg(QString(b < 8 ? 4 : 2, QLatin1Char(' ')))
        .arg(PointNumber(b));
}
}   // namespace

QColor frmLTIO::onColour() { return QColor(0, 0, 255); }
QColor frmLTIO::offColour() { return QColor(192, 0, 0); }

frmLTIO::frmLTIO(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : ChildWindow(link, dialogs, parent), poll_(link, *this, this)
{
    setObjectName(QStringLiteral("frmLTIO"));
    setWindowTitle(QStringLiteral("I/O Status"));
    for (const char *a : kAddresses)
        FieldAddress << QString::fromLatin1(a);

    QVBoxLayout *body = AddCaptionBar(this);
    auto *row = new QHBoxLayout;
    row->setSpacing(10);
    body->insertLayout(0, row);

    // Bit captions in a fixed-pitch font, so the byte, bit and point
    // numbers of the slot captions stand in columns.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(font().pointSizeF());
    const int stateWidth = QFontMetrics(font()).horizontalAdvance(QStringLiteral("off")) + 12;

    auto makeState = [&](QWidget *parent, const QString &name) {
        auto *l = new QLabel(QStringLiteral("-"), parent);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->setMinimumWidth(stateWidth);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        FixValueLabelSize(l, QStringLiteral("off"));
        return l;
    };
    auto makeCaption = [&](QWidget *parent, const QString &name, const QString &text, bool monospace) {
        auto *l = new QLabel(text, parent);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        if (monospace)
            l->setFont(fixed);
        return l;
    };

    for (int f = 0; f < 5; ++f) {
        fraBMIO[f] = new QGroupBox(QString::fromLatin1(kFrameCaptions[f]), this);
        fraBMIO[f]->setObjectName(QStringLiteral("fraBMIO%1").arg(f));
        row->addWidget(fraBMIO[f], 0, Qt::AlignTop);
    }
    row->addStretch(1);

    // The controller: captions and values, grouped by thin lines.
    {
        auto *grid = new QGridLayout(fraBMIO[0]);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(4);
        int r = 0, line = 0;
        for (int i = 0; i < 11; ++i) {
            lblt6855[i] = makeCaption(fraBMIO[0], QStringLiteral("lblt6855%1").arg(i),
                                      QString::fromLatin1(kControllerCaptions[i]), false);
            lblt6855State[i] = makeState(fraBMIO[0], QStringLiteral("lblt6855State%1").arg(i));
            lblt6855State[i]->setMinimumWidth(QFontMetrics(font()).horizontalAdvance(QStringLiteral("65535")) + 12);
            FixValueLabelSize(lblt6855State[i], QStringLiteral("65535"));
            grid->addWidget(lblt6855[i], r, 0);
            grid->addWidget(lblt6855State[i], r, 1);
            ++r;
            if (line < 6 && kLineAfter[line] == i) {
                Line1[line] = new QFrame(fraBMIO[0]);
                Line1[line]->setObjectName(QStringLiteral("Line1%1").arg(line));
                Line1[line]->setFrameShape(QFrame::HLine);
                Line1[line]->setFrameShadow(QFrame::Sunken);
                grid->addWidget(Line1[line], r++, 0, 1, 2);
                ++line;
            }
        }
        grid->setRowStretch(r, 1);
    }

    // The four bit groups: timing channels and the three slots.
    for (int g = 0; g < 4; ++g) {
        QGroupBox *frame = fraBMIO[g + 1];
        auto *grid = new QGridLayout(frame);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(8);
        const QString base = g == 0 ? QStringLiteral("lblTmgChannel") : QStringLiteral("lblSlot0%1").arg(g - 1);
        for (int b = 0; b < 16; ++b) {
            const QString caption = g == 0 ? QStringLiteral("CH%1:").arg(PointNumber(b), 2, 10, QLatin1Char('0'))
                                           : SlotCaption(kSlotBytes[g - 1], b);
            groupCaptions(g)[b] = makeCaption(frame, base + QString::number(b), caption, true);
            groupStates(g)[b] = makeState(frame, base + QStringLiteral("State") + QString::number(b));
            grid->addWidget(groupCaptions(g)[b], b, 0);
            grid->addWidget(groupStates(g)[b], b, 1);
        }
    }
    initView(false);
}

std::array<QLabel *, 16> &frmLTIO::groupCaptions(int group)
{
    switch (group) {
    case 0: return lblTmgChannel;
    case 1: return lblSlot00;
    case 2: return lblSlot01;
    default: return lblSlot02;
    }
}

std::array<QLabel *, 16> &frmLTIO::groupStates(int group)
{
    switch (group) {
    case 0: return lblTmgChannelState;
    case 1: return lblSlot00State;
    case 2: return lblSlot01State;
    default: return lblSlot02State;
    }
}

void frmLTIO::Form_Activate() { poll_.start(); }

void frmLTIO::Form_Unload() { poll_.stop(); }

void frmLTIO::onlineStateChanged() { poll_.wake(); }

void frmLTIO::BeginOnlinePass() { next_ = 0; }

bool frmLTIO::OnlineStep()
{
    const int i = next_++;
    LastValue = link_.RSRead(FieldAddress[i]);
    if (link_.CommError)
        return false;
    if (i < 2) {
        showState(lblt6855State[i], NumericValue(LastValue) == 1);
    } else if (i < kFirstBitGroup) {
        lblt6855State[i]->setText(LastValue);
    } else {
        const qint64 n = NumericValue(LastValue);
        std::array<QLabel *, 16> &states = groupStates(i - kFirstBitGroup);
        for (int b = 0; b < 16; ++b)
            showState(states[b], (n & (qint64(1) << b)) != 0);
    }
    return next_ < FieldCount;
}

void frmLTIO::showState(QLabel *label, bool on)
{
    // A state label's palette holds both colours ("ON" as its text colour,
    // "off" as its bright text colour), so a state shows by its foreground
    // role alone: no palette change, which would cost far more than the
    // repaint on every pass of a moving machine. A label that already shows
    // the state is left alone.
    const QString text = on ? QStringLiteral("ON") : QStringLiteral("off");
    const QPalette::ColorRole role = on ? QPalette::WindowText : QPalette::BrightText;
    if (label->text() == text && label->foregroundRole() == role)
        return;
    label->setText(text);
    if (label->foregroundRole() != role) {
        label->setForegroundRole(role);
        label->update();
    }
}

void frmLTIO::initView(bool enabled)
{
    for (QGroupBox *g : fraBMIO)
        g->setEnabled(enabled);
    // Values keep their own colour; states start blue.
    auto reset = [&](QLabel *caption, QLabel *state, bool isState) {
        caption->setEnabled(enabled);
        state->setEnabled(enabled);
        state->setText(QStringLiteral("-"));
        if (!isState)
            return;
        QPalette pal = state->palette();
        for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive}) {
            pal.setColor(g, QPalette::WindowText, onColour());
            pal.setColor(g, QPalette::BrightText, offColour());
        }
        if (pal != state->palette())
            state->setPalette(pal);
        state->setForegroundRole(QPalette::WindowText);
        state->update();
    };
    for (int i = 0; i < 11; ++i)
        reset(lblt6855[i], lblt6855State[i], i < 2);
    for (int g = 0; g < 4; ++g)
        for (int b = 0; b < 16; ++b)
            reset(groupCaptions(g)[b], groupStates(g)[b], true);
}

bool frmLTIO::InitOnlineView()
{
    initView(true);
    return true;
}

void frmLTIO::InitOfflineView() { initView(false); }
