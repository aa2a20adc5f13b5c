#include "frmK2950DF1.h"
#include "ChildCaption.h"
#include "DF1Status.h"
#include "Dialogs.h"
#include "EntryFields.h"
#include "Globals.h"
#include "RSComm.h"
#include "UpDown.h"
#include "Utilities.h"
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {
const char *const kFrameCaptions[3] = {
    "K2950-DF1 Communication Status",
    "A/B Link Layer Status",
    "DF1 Communication Set-up",
};

const char *const kDescriptions[12] = {
    "K2950 Configuration Status:",
    "Transmit Data Status",
    "Transmit Data Status (prev.):",
    "Current Transaction:",
    "Active Command:",
    "Number of BYTES Received:",
    "Received Command BIT Status",
    "Status:",
    "Current Transaction Received:",
    "&PLC Type:",
    "&Destination Node:",
    "Desination File &Number:",
};

// Board address of each field: 0..6 in frame 0, 7..8 in frame 1 (status
// values), 9..11 in frame 2 (the set-up).
const char *const kFieldAddress[12] = {
    "B4023", "B4021", "B4022", "W4016", "B4014", "B4026", "B4302.6", "B4303", "W4304", "B4001.0", "B4050", "B4011",
};

// Which frame each field sits in.
constexpr int kFrameOf[12] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 2};
constexpr int kFirstOfFrame[3] = {0, 7, 9};

const char *const kStatusCodeAddress = "B4018";     // link layer status code
const char *const kExtendedCodeAddress = "B4019";   // its extended code (status F0)
const char *const kDriverFlag = "F42";              // DF1 driver enabled

constexpr int kPlcTypeEntry = 81;    // CurrentSetup.Value entry of the PLC type
constexpr int kFirstBoxEntry = 82;   // entry of txtSetup(0); txtSetup(1) follows
constexpr int kLinkStatusField = 7;
constexpr int kPlcTypeField = 9;
constexpr int kFirstBoxField = 10;
constexpr int kFieldCount = 12;

QString BoxTitle() { return QStringLiteral("K2950DF1 Set-up"); }
}   // namespace

frmK2950DF1::frmK2950DF1(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : ChildWindow(link, dialogs, parent), entries_(nullptr), poll_(link, *this, this)
{
    setObjectName(QStringLiteral("frmK2950DF1"));
    setWindowTitle(QStringLiteral("K2950DF1"));
    for (const char *a : kFieldAddress)
        FieldAddress << QString::fromLatin1(a);
    buildControls();

    PlcTypeReady = false;
    cboSetup->addItems({QStringLiteral("PLC5"), QStringLiteral("SLC500")});
    selectPlcType(CurrentSetup.Value.value(kPlcTypeEntry));
}

void frmK2950DF1::buildControls()
{
    QVBoxLayout *body = AddCaptionBar(this);

    for (int f = 0; f < 3; ++f) {
        fraSetup[f] = new QGroupBox(QString::fromLatin1(kFrameCaptions[f]), this);
        fraSetup[f]->setObjectName(QStringLiteral("fraSetup%1").arg(f));
        auto *grid = new QGridLayout(fraSetup[f]);
        grid->setColumnStretch(1, 1);
        grid->setHorizontalSpacing(12);
    }
    auto gridOf = [this](int field) { return static_cast<QGridLayout *>(fraSetup[kFrameOf[field]]->layout()); };

    // Status values: a sunken panel each, wrapping a long text rather than
    // cutting it.
    const int valueHeight = fontMetrics().height() + 8;
    for (int i = 0; i < kFieldCount; ++i) {
        QGroupBox *frame = fraSetup[kFrameOf[i]];
        lblDescription[i] = new QLabel(QString::fromLatin1(kDescriptions[i]), frame);
        lblDescription[i]->setObjectName(QStringLiteral("lblDescription%1").arg(i));
        QGridLayout *grid = gridOf(i);
        const int row = i - kFirstOfFrame[kFrameOf[i]];
        grid->addWidget(lblDescription[i], row, 0, Qt::AlignLeft | Qt::AlignVCenter);
        if (i < 9) {
            lblDisplay[i] = new QLabel(QStringLiteral("-"), frame);
            lblDisplay[i]->setObjectName(QStringLiteral("lblDisplay%1").arg(i));
            lblDisplay[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            lblDisplay[i]->setBackgroundRole(QPalette::Base);
            lblDisplay[i]->setAutoFillBackground(true);
            lblDisplay[i]->setWordWrap(true);
            lblDisplay[i]->setMinimumHeight(valueHeight);
            // Room inside the frame; contents margins would move the frame
            // lines off the label's edge, inside its white fill.
            lblDisplay[i]->setMargin(3);
            lblDisplay[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("(4) Timeout - No Response"))
                                           + 16);
            grid->addWidget(lblDisplay[i], row, 1);
        }
    }

    // The two status frames stand one above the other, left edges together:
    // their values start at the same place.
    int captionWidth = 0;
    for (int i = 0; i < 9; ++i)
        captionWidth = std::max(captionWidth, lblDescription[i]->sizeHint().width());
    for (int f : {0, 1})
        static_cast<QGridLayout *>(fraSetup[f]->layout())->setColumnMinimumWidth(0, captionWidth);

    cboSetup = new QComboBox(fraSetup[2]);
    cboSetup->setObjectName(QStringLiteral("cboSetup"));
    cboSetup->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    gridOf(kPlcTypeField)->addWidget(cboSetup, 0, 1, Qt::AlignLeft);
    lblDescription[kPlcTypeField]->setBuddy(cboSetup);
    cboSetup->installEventFilter(this);

    // Takes the focus away from an entry field; not a tab stop.
    cmdDefault = new QPushButton(QStringLiteral("-"), this);
    cmdDefault->setObjectName(QStringLiteral("cmdDefault"));
    cmdDefault->setFocusPolicy(Qt::ClickFocus);
    cmdDefault->setFixedSize(16, 16);

    entries_ = new EntryFields(dialogs_, cmdDefault, this);
    entries_->setPoll(&poll_);
    const int boxWidth = fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16;
    for (int i = 0; i < 2; ++i) {
        txtSetup[i] = new QLineEdit(fraSetup[2]);
        txtSetup[i]->setObjectName(QStringLiteral("txtSetup%1").arg(i));
        txtSetup[i]->setFixedWidth(boxWidth);
        txtSetup[i]->setAlignment(Qt::AlignRight);
        updSetup[i] = new UpDown(txtSetup[i], 0, 255, fraSetup[2]);
        updSetup[i]->setObjectName(QStringLiteral("updSetup%1").arg(i));
        auto *pair = new QHBoxLayout;
        pair->setSpacing(0);
        pair->addWidget(txtSetup[i]);
        pair->addWidget(updSetup[i]);
        pair->addStretch(1);
        gridOf(kFirstBoxField + i)->addLayout(pair, 1 + i, 1);
        lblDescription[kFirstBoxField + i]->setBuddy(txtSetup[i]);
        entries_->add(i, txtSetup[i], updSetup[i], BoxTitle());
    }
    setTabOrder(cboSetup, txtSetup[0]);
    setTabOrder(txtSetup[0], txtSetup[1]);
    connect(entries_, &EntryFields::accepted, this, &frmK2950DF1::onAccepted);
    connect(entries_, &EntryFields::stepped, this, &frmK2950DF1::onStepped);
    connect(cboSetup, &QComboBox::activated, this, &frmK2950DF1::cboSetup_Click);

    // The status frame and the set-up side by side, the link layer status
    // below across the whole width: its texts are the longest.
    auto *grid = new QGridLayout;
    grid->setSpacing(10);
    grid->addWidget(fraSetup[0], 0, 0);
    grid->addWidget(fraSetup[2], 0, 1, Qt::AlignTop);
    grid->addWidget(fraSetup[1], 1, 0, 1, 2);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    body->insertLayout(0, grid);
    auto *corner = new QHBoxLayout;
    corner->addStretch(1);
    corner->addWidget(cmdDefault);
    body->addLayout(corner);
}

void frmK2950DF1::Form_Activate()
{
    entries_->clearEscapePending();
    poll_.start();
}

void frmK2950DF1::Form_Unload()
{
    poll_.stop();
    clearFieldEditing();
}

void frmK2950DF1::onlineStateChanged() { poll_.wake(); }

bool frmK2950DF1::fieldEditing(int i) const { return i == 2 ? ListEditing : entries_->editing(i); }

void frmK2950DF1::clearFieldEditing()
{
    entries_->clearEditing();
    ListEditing = false;
}

void frmK2950DF1::selectPlcType(qint64 position)
{
    // 0 is the PLC-5; any other value is the SLC-500.
    const int index = position == 0 ? 0 : 1;
    if (cboSetup->currentIndex() != index)
        cboSetup->setCurrentIndex(index);
}

// ---- Views -----------------------------------------------------------------

void frmK2950DF1::enableStatus(bool enabled)
{
    fraSetup[0]->setEnabled(enabled);
    fraSetup[1]->setEnabled(enabled);
    for (int i = 0; i < 9; ++i) {
        lblDescription[i]->setEnabled(enabled);
        lblDisplay[i]->setEnabled(enabled);
    }
}

void frmK2950DF1::enableSetup(bool enabled)
{
    fraSetup[2]->setEnabled(enabled);
    for (int i = kPlcTypeField; i < kFieldCount; ++i)
        lblDescription[i]->setEnabled(enabled);
    for (int i = 0; i < 2; ++i) {
        txtSetup[i]->setEnabled(enabled);
        updSetup[i]->setEnabled(enabled);
    }
    cboSetup->setEnabled(enabled);
}

bool frmK2950DF1::InitOnlineView()
{
    if (link_.CommError)
        return false;
    LastValue = link_.RSRead(QString::fromLatin1(kDriverFlag));
    // A failed read gives "0" too: that is no news about the driver, and the
    // next pass takes the program offline.
    if (link_.CommError)
        return false;
    if (NumericValue(LastValue) == 0) {
        PollLoop::Hold hold(poll_);
        dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("WARNING!!"),
                         QStringLiteral("The DF1 Serial Communications Driver is Not Enabled in the T6850."));
    }
    PlcTypeReady = false;
    // Editing ends before the focus moves, so a half-typed entry is dropped
    // rather than checked and written.
    clearFieldEditing();
    cmdDefault->setFocus(Qt::OtherFocusReason);
    enableStatus(true);
    enableSetup(true);
    return true;
}

void frmK2950DF1::InitOfflineView()
{
    PlcTypeReady = false;
    clearFieldEditing();
    cmdDefault->setFocus(Qt::OtherFocusReason);
    enableStatus(false);
    enableSetup(false);
    for (QLabel *l : lblDisplay)
        l->setText(QStringLiteral("-"));
    SeenOfflineEditing = OfflineEditing;
    if (OfflineEditing)
        enableSetup(true);
    for (int i = 0; i < 2; ++i)
        txtSetup[i]->setText(QString::number(CurrentSetup.Value.value(kFirstBoxEntry + i)));
    selectPlcType(CurrentSetup.Value.value(kPlcTypeEntry));
    // The list now shows the stored type: a choice made in it is the user's.
    PlcTypeReady = true;
}

void frmK2950DF1::RefreshOffline()
{
    if (SeenOfflineEditing != OfflineEditing) {
        SeenOfflineEditing = OfflineEditing;
        poll_.invalidateOfflineView();
    }
}

void frmK2950DF1::BeginOnlinePass()
{
    next_ = 0;
    linkRead_ = LinkRead::None;
}

bool frmK2950DF1::OnlineStep()
{
    // The link layer status is made of up to three reads, one per step.
    if (linkRead_ == LinkRead::StatusCode) {
        statusCode_ = NumericValue(link_.RSRead(QString::fromLatin1(kStatusCodeAddress)));
        if (link_.CommError)
            return false;
        linkRead_ = LinkRead::ExtendedCode;
        return true;
    }
    if (linkRead_ == LinkRead::ExtendedCode) {
        const qint64 extended = NumericValue(link_.RSRead(QString::fromLatin1(kExtendedCodeAddress)));
        if (link_.CommError)
            return false;
        lblDisplay[kLinkStatusField]->setText(DF1Status::LinkLayerText(statusCode_, extended));
        linkRead_ = LinkRead::None;
        return ++next_ < kFieldCount;
    }

    const int i = next_;
    LastValue = link_.RSRead(FieldAddress[i]);
    if (link_.CommError)
        return false;
    const qint64 v = NumericValue(LastValue);
    switch (i) {
    case 0: lblDisplay[i]->setText(DF1Status::ConfigurationText(v)); break;
    case 1:
    case 2: lblDisplay[i]->setText(DF1Status::TransmitText(v)); break;
    case 3:
    case 5:
    case 8: lblDisplay[i]->setText(LastValue); break;
    case 4: lblDisplay[i]->setText(DF1Status::ActiveCommandText(v)); break;
    case 6: lblDisplay[i]->setText(DF1Status::ReceivedCommandText(v)); break;
    case kLinkStatusField:
        if (v != 0) {
            linkRead_ = LinkRead::StatusCode;
            return true;
        }
        lblDisplay[i]->setText(DF1Status::LinkLayerNoErrorText());
        break;
    case kPlcTypeField:
        if (!ListEditing) {
            selectPlcType(v);
            PlcTypeReady = true;
        }
        break;
    default: entries_->show(i - kFirstBoxField, LastValue); break;
    }
    return ++next_ < kFieldCount;
}

// ---- Editing -----------------------------------------------------------------

void frmK2950DF1::writeSetup(int field, const QString &text)
{
    if (link_.OnlineMode && !link_.CommError)
        link_.RSWrite(FieldAddress[field], text);
}

void frmK2950DF1::onAccepted(int index, qint32 value)
{
    CurrentSetup.Value[kFirstBoxEntry + index] = value;
    // The value as stored, in the box and to the board: the link drops a
    // decimal point from a value text, so "20.6" as typed would reach the
    // board as 206, and offline nothing else would replace the typed text.
    const QString text = QString::number(value);
    txtSetup[index]->setText(text);
    writeSetup(kFirstBoxField + index, text);
}

void frmK2950DF1::onStepped(int index, qint32 value, const QString &text)
{
    CurrentSetup.Value[kFirstBoxEntry + index] = value;
    writeSetup(kFirstBoxField + index, text);
}

void frmK2950DF1::cboSetup_Click(int index)
{
    if (!PlcTypeReady || index < 0)
        return;
    ListEditing = true;
    entries_->clearEscapePending();
    CurrentSetup.Value[kPlcTypeEntry] = index;
    writeSetup(kPlcTypeField, QString::number(index));
}

bool frmK2950DF1::eventFilter(QObject *obj, QEvent *e)
{
    if (obj == cboSetup) {
        switch (e->type()) {
        case QEvent::FocusIn:
            if (static_cast<QFocusEvent *>(e)->reason() != Qt::ActiveWindowFocusReason)
                ListEditing = true;
            break;
        case QEvent::FocusOut: {
            const Qt::FocusReason r = static_cast<QFocusEvent *>(e)->reason();
            if (r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason)
                ListEditing = false;
            break;
        }
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent *>(e)->key() == Qt::Key_Escape) {
                entries_->clearEscapePending();
                ListEditing = false;
                cmdDefault->setFocus(Qt::OtherFocusReason);
                return true;
            }
            break;
        default: break;
        }
    }
    return ChildWindow::eventFilter(obj, e);
}
