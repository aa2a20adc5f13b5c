#include "frmSetupComm.h"
#include "AppFolder.h"
#include "CommSettings.h"
#include "Dialogs.h"
#include "Globals.h"
#include "PortPresence.h"
#include "RSComm.h"
#include "UsbAdapter.h"
#include "UpDown.h"
#include "Utilities.h"
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFocusEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace {

int clampPort(double v, int lo, int hi)
{
    if (!(v >= lo))
        return lo;
    if (v > hi)
        return hi;
    return int(v);
}

// Beside the device: a USB adapter and its latency timer.
QString adapterText(const UsbAdapter::Device &d)
{
    if (!d.usbSerial)
        return {};
    return d.latencyMs < 0 ? QStringLiteral("  (USB adapter)")
                           : QStringLiteral("  (USB adapter, latency %1 ms)").arg(d.latencyMs);
}

// When the timer holds each answer noticeably longer than the line takes:
// what that costs, and where the way to lower it is.
QString latencyHint(const UsbAdapter::Device &d)
{
    if (!d.usbSerial || d.latencyMs <= 2)
        return {};
    return QStringLiteral("Each exchange waits up to %1 ms instead of about 1 ms: see the udev rule in the manual.")
        .arg(d.latencyMs);
}

}   // namespace

frmSetupComm::frmSetupComm(RSComm &link, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), link_(link), dialogs_(dialogs)
{
    setObjectName(QStringLiteral("frmSetupComm"));
    setWindowTitle(QStringLiteral("Comm Port Settings"));
    setModal(true);

    buildCommPortFrame();
    buildPortSpeedFrame();
    buildDetectedPortsFrame();
    buildButtons();
    layOutWindow();
    connectControls();

    Form_Load();
    listDetectedPorts();
    setMinimumWidth(600);
    adjustSize();
    fitHeight();   // adjustSize leaves room for more lines than the texts take at this width
    CenterForm(this);
}

void frmSetupComm::buildCommPortFrame()
{
    fraCommPort = new QGroupBox(QStringLiteral("Comm Port"), this);
    txtCommPort = new QLineEdit(fraCommPort);
    txtCommPort->setObjectName(QStringLiteral("txtCommPort"));
    txtCommPort->setMaxLength(6);
    txtCommPort->setFixedWidth(64);
    updCommPort = new UpDown(txtCommPort, RSComm::MinPortNumber, RSComm::MaxPortNumber, fraCommPort);
    updCommPort->setObjectName(QStringLiteral("updCommPort"));
    auto *comLabel = new QLabel(QStringLiteral("COM"), fraCommPort);
    lblDevice = new QLabel(fraCommPort);
    lblDevice->setObjectName(QStringLiteral("lblDevice"));
    lblDevice->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblDevice->setWordWrap(true);
    lblLatency = new QLabel(this);
    lblLatency->setObjectName(QStringLiteral("lblLatency"));
    lblLatency->setWordWrap(true);
    lblLatency->setContentsMargins(12, 0, 0, 6);   // under the device it is about, apart from the list below
    lblLatency->hide();
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(comLabel);
    portRow->addWidget(txtCommPort);
    portRow->addWidget(updCommPort);
    portRow->addStretch();
    auto *portLay = new QVBoxLayout(fraCommPort);
    portLay->addLayout(portRow);
    portLay->addWidget(lblDevice);
    portLay->addStretch(1);   // room to spare goes under the text, not around it
}

void frmSetupComm::buildPortSpeedFrame()
{
    fraPortSpeed = new QGroupBox(QStringLiteral("Port Speed"), this);
    optPortSpeed[0] = new QRadioButton(QStringLiteral("9600"), fraPortSpeed);
    optPortSpeed[1] = new QRadioButton(QStringLiteral("19200"), fraPortSpeed);
    auto *speedLay = new QVBoxLayout(fraPortSpeed);
    speedLay->addWidget(optPortSpeed[0]);
    speedLay->addWidget(optPortSpeed[1]);
    speedLay->addStretch();
}

void frmSetupComm::buildDetectedPortsFrame()
{
    fraDetected = new QGroupBox(QStringLiteral("Serial ports on this computer"), this);
    lblDetected = new QLabel(fraDetected);
    lblDetected->setObjectName(QStringLiteral("lblDetected"));
    lblDetected->setWordWrap(true);
    lblDetected->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *detLay = new QVBoxLayout(fraDetected);
    detLay->addWidget(lblDetected);
}

void frmSetupComm::buildButtons()
{
    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdSave->setDefault(true);
}

void frmSetupComm::layOutWindow()
{
    auto *top = new QHBoxLayout;
    top->addWidget(fraCommPort, 3);
    top->addWidget(fraPortSpeed, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(lblLatency);
    lay->addWidget(fraDetected);
    lay->addLayout(buttons);
}

void frmSetupComm::connectControls()
{
    connect(cmdSave, &QPushButton::clicked, this, &frmSetupComm::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetupComm::cmdCancel_Click);
    connect(txtCommPort, &QLineEdit::textChanged, this, &frmSetupComm::refreshDevice);
    txtCommPort->installEventFilter(this);
}

void frmSetupComm::Form_Load()
{
    WasOnline = link_.OnlineMode;
    LoadCommSettings();
    ToolFolders = {AppFolder::resolve(QStringLiteral("\\TRX51")), AppFolder::resolve(QStringLiteral("\\TRX96")),
                   AppFolder::resolve(QStringLiteral("\\KDR51"))};
}

void frmSetupComm::listDetectedPorts()
{
    QStringList found;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QString line = info.systemLocation();
        QStringList about;
        if (!info.description().isEmpty())
            about << info.description();
        if (!info.manufacturer().isEmpty())
            about << info.manufacturer();
        if (!about.isEmpty())
            line += QStringLiteral("  (") + about.join(QStringLiteral(", ")) + QLatin1Char(')');
        found << line;
    }
    const QString portsDir = QDir::toNativeSeparators(AppFolder::path() + QStringLiteral("/Support/ports"));
    lblDetected->setText((found.isEmpty() ? QStringLiteral("No serial ports detected.") : found.join(QLatin1Char('\n')))
                         + QStringLiteral("\n\nTo use a device as COM n, make the link %1%2COMn point to it.")
                               .arg(portsDir, QDir::separator()));
}

void frmSetupComm::trappedError(const QString &title, int number, const QString &description)
{
    dialogs_.message(Dialogs::Icon::Information, title, Dialogs::trappedErrorText(number, description));
}

void frmSetupComm::LoadCommSettings()
{
    PortNumber = 1;
    PortBaudRate = 9600;
    const QString file = link_.CommSettingsFile();
    const CommSettings::FileContents read = CommSettings::read(file);
    if (read.unreadable) {
        trappedError(QStringLiteral("SetupComm CurrentSettings"), read.unreadable.number, read.unreadable.text());
    } else if (read.exists && !read.record.empty) {
        // Both items are 16-bit numbers here; what was read before a failing
        // item is kept and shown.
        const CommSettings::Record &r = read.record;
        CommSettings::Problem problem = r.problem;
        if (r.portRead)
            PortNumber = r.port;
        if (!problem && r.speedRead) {
            const CommSettings::Integer16 speed = CommSettings::readInteger16(r.speed);
            problem = speed.problem;
            if (!problem)
                PortBaudRate = speed.value;
        }
        if (problem)
            trappedError(QStringLiteral("SetupComm CurrentSettings"), problem.number, problem.description);
    }
    if (PortNumber < updCommPort->Min())
        PortNumber = qint16(updCommPort->Min());
    else if (PortNumber > updCommPort->Max())
        PortNumber = qint16(updCommPort->Max());
    txtCommPort->setText(QString::number(PortNumber));
    if (PortBaudRate == 19200)
        optPortSpeed[1]->setChecked(true);
    else
        optPortSpeed[0]->setChecked(true);
    refreshDevice();
}

// A device that exists but this user may not open.
static QString PermissionText(const QString &group)
{
    return QStringLiteral("\n\nPermission denied: this user may not open the device. It belongs to the group %1; "
                          "to join it, run\n    sudo usermod -aG %1 $USER\nthen log out and log in again.")
        .arg(group);
}

void frmSetupComm::refreshDevice()
{
    const std::optional<double> v = CommSettings::numberValue(txtCommPort->text());
    if (!v || *v < updCommPort->Min() || *v > updCommPort->Max()) {
        lblDevice->setText(QStringLiteral("Device: -"));
        lblLatency->clear();
        lblLatency->hide();
        if (isVisible())
            fitHeight();
        return;
    }
    const int n = clampPort(CommSettings::roundHalfEven(*v), updCommPort->Min(), updCommPort->Max());
    const QString dev = AppFolder::portDevice(n);
    QString text = QStringLiteral("COM%1 on this computer:\n%2").arg(n).arg(QDir::toNativeSeparators(dev));
    const QFileInfo fi(dev);
    if (fi.isSymLink())
        text += QStringLiteral("\n\u2192 %1%2")
                    .arg(fi.symLinkTarget(), fi.exists() ? QString() : QStringLiteral("  (missing)"));
    else if (!fi.exists())
        text += QStringLiteral("  (no such device)");
    const UsbAdapter::Device adapter = UsbAdapter::describe(dev);
    text += adapterText(adapter);
    if (const std::optional<QString> group = PortPresence::deniedGroup(dev))
        text += PermissionText(*group);
    lblDevice->setText(text);
    lblLatency->setText(latencyHint(adapter));
    lblLatency->setVisible(!lblLatency->text().isEmpty());
    if (isVisible())
        fitHeight();
}

// The device's text takes as many lines as the port now named needs (a long
// link, the permission advice): the window takes the height its texts need
// at its width, so none is cut off, and gives back what they no longer do.
void frmSetupComm::fitHeight()
{
    QLayout *lay = layout();
    if (!lay)
        return;
    lay->activate();
    const int h = lay->hasHeightForWidth() ? lay->totalHeightForWidth(width()) : lay->totalSizeHint().height();
    if (h != height())
        resize(width(), h);
}

bool frmSetupComm::txtCommPort_Validate()
{
    const int lo = updCommPort->Min(), hi = updCommPort->Max();
    const std::optional<double> v = CommSettings::numberValue(txtCommPort->text());
    if (v && *v >= lo && *v <= hi)
        return true;
    // The box takes the focus from the field while it is up: that is not a leave.
    validating_ = true;
    dialogs_.message(Dialogs::Icon::Information, QStringLiteral("Comm Port"),
                     QStringLiteral("Only a Number Between %1 and %2 can be Entered").arg(lo).arg(hi));
    validating_ = false;
    return false;
}

bool frmSetupComm::eventFilter(QObject *obj, QEvent *e)
{
    if (obj == txtCommPort && e->type() == QEvent::FocusOut && !validating_ && isVisible()
        && static_cast<QFocusEvent *>(e)->reason() != Qt::PopupFocusReason) {
        // Checked once the focus has settled, outside the key or mouse event
        // that moved it; Save and Cancel run a check still due themselves.
        portCheckDue_ = true;
        QMetaObject::invokeMethod(this, &frmSetupComm::txtCommPort_LostFocus, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(obj, e);
}

void frmSetupComm::txtCommPort_LostFocus()
{
    if (!portCheckDue_)
        return;
    portCheckDue_ = false;
    if (!isVisible() || txtCommPort_Validate())
        return;
    // Refused. Within the window the focus goes back to the field, and a
    // button pressed to get there is not clicked; leaving for Cancel or for
    // another window keeps the focus where it went.
    QWidget *now = QApplication::focusWidget();
    if (!now || now == txtCommPort || now == cmdCancel || now->window() != this)
        return;
    if (auto *button = qobject_cast<QAbstractButton *>(now))
        button->setDown(false);
    txtCommPort->setFocus(Qt::OtherFocusReason);
}

bool frmSetupComm::leavingPortField()
{
    // Chosen by its access key or by Enter, a button acts without taking the
    // focus: the field is left now.
    const bool leaving = portCheckDue_ || (isVisible() && focusWidget() == txtCommPort);
    portCheckDue_ = false;
    return leaving;
}

void frmSetupComm::cmdSave_Click()
{
    if (leavingPortField() && !txtCommPort_Validate()) {
        txtCommPort->setFocus(Qt::OtherFocusReason);
        return;
    }
    link_.CloseRSComm();

    const int lo = updCommPort->Min(), hi = updCommPort->Max();
    const QString text = txtCommPort->text();
    const std::optional<double> typed = CommSettings::numberValue(text);
    const double v = typed ? *typed : double(LeadingNumber(text));
    PortNumber = qint16(clampPort(CommSettings::roundHalfEven(v), lo, hi));
    PortBaudRate = optPortSpeed[1]->isChecked() ? 19200 : 9600;

    const QString file = link_.CommSettingsFile();
    if (const CommSettings::Problem p = CommSettings::write(file, CommSettings::line(PortNumber, PortBaudRate))) {
        trappedError(QStringLiteral("SetupComm"), p.number, p.text());
        return;
    }
    for (const QString &folder : ToolFolders) {
        if (!QFileInfo(folder).isDir())
            continue;
        const QByteArray line = QByteArray::number(PortNumber - 1) + "\r\n";
        const QString tool = AppFolder::resolveAbsolute(folder + QStringLiteral("/TARNEX.SFG"));
        if (const QString why = writeFileWhole(tool, line); !why.isEmpty()) {
            dialogs_.message(Dialogs::Icon::Information, QStringLiteral("SetupComm"),
                             Dialogs::fileAccessErrorText(
                                 QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(tool), why)));
            return;
        }
    }

    if (!WasOnline) {
        accept();
        return;
    }
    link_.OpenRSComm(CommPortControl);
    if (link_.OnlineMode) {
        accept();
        return;
    }
    link_.OnlineMode = false;
    refreshDevice();
}

void frmSetupComm::cmdCancel_Click()
{
    // Cancel takes what was typed as it is: the box is shown, the window closes anyway.
    if (leavingPortField())
        txtCommPort_Validate();
    reject();
}
