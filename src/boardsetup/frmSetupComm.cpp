#include "frmSetupComm.h"
#include "AppFolder.h"
#include "Dialogs.h"
#include "Globals.h"
#include "RSComm.h"
#include "UpDown.h"
#include "Utilities.h"
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

namespace {

// The comm settings file is one short line ("1, 9600 "); anything longer is not one.
constexpr qint64 kMaxSettingsFileBytes = 4096;

// A text read as a 16-bit number item of a settings line: error 13 when it is
// not a number, error 6 when it does not fit.
struct Item16 {
    qint16 value = 0;
    int error = 0;
};

Item16 readItem16(const QString &text)
{
    Item16 r;
    const QString t = text.trimmed();
    if (t.isEmpty())
        return r;   // an empty item reads as 0
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d)) {
        r.error = 13;
        return r;
    }
    const double rounded = std::nearbyint(d);   // halves go to the even neighbour
    if (rounded < -32768.0 || rounded > 32767.0) {
        r.error = 6;
        return r;
    }
    r.value = qint16(rounded);
    return r;
}

QString errorDescription(int number)
{
    switch (number) {
    case 6: return QStringLiteral("Overflow");
    case 13: return QStringLiteral("Type mismatch");
    case 62: return QStringLiteral("Input past end of file");
    case 75: return QStringLiteral("Path/File access error");
    case 76: return QStringLiteral("Path not found");
    default: return QStringLiteral("Application-defined or object-defined error");
    }
}

int clampPort(double v, int lo, int hi)
{
    if (!(v >= lo))
        return lo;
    if (v > hi)
        return hi;
    return int(v);
}

} // namespace

frmSetupComm::frmSetupComm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSetupComm"));
    setWindowTitle(QStringLiteral("Comm Port Settings"));
    setModal(true);

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
    auto *portRow = new QHBoxLayout;
    portRow->addWidget(comLabel);
    portRow->addWidget(txtCommPort);
    portRow->addWidget(updCommPort);
    portRow->addStretch();
    auto *portLay = new QVBoxLayout(fraCommPort);
    portLay->addLayout(portRow);
    portLay->addWidget(lblDevice);

    fraPortSpeed = new QGroupBox(QStringLiteral("Port Speed"), this);
    optPortSpeed[0] = new QRadioButton(QStringLiteral("9600"), fraPortSpeed);
    optPortSpeed[1] = new QRadioButton(QStringLiteral("19200"), fraPortSpeed);
    auto *speedLay = new QVBoxLayout(fraPortSpeed);
    speedLay->addWidget(optPortSpeed[0]);
    speedLay->addWidget(optPortSpeed[1]);
    speedLay->addStretch();

    auto *detectedBox = new QGroupBox(QStringLiteral("Serial ports on this computer"), this);
    lblDetected = new QLabel(detectedBox);
    lblDetected->setObjectName(QStringLiteral("lblDetected"));
    lblDetected->setWordWrap(true);
    lblDetected->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *detLay = new QVBoxLayout(detectedBox);
    detLay->addWidget(lblDetected);

    cmdSave = new QPushButton(QStringLiteral("&Save"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cmdSave->setDefault(true);
    connect(cmdSave, &QPushButton::clicked, this, &frmSetupComm::cmdSave_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmSetupComm::cmdCancel_Click);
    connect(txtCommPort, &QLineEdit::textChanged, this, &frmSetupComm::refreshDevice);
    txtCommPort->installEventFilter(this);

    auto *top = new QHBoxLayout;
    top->addWidget(fraCommPort, 3);
    top->addWidget(fraPortSpeed, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdCancel);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(detectedBox);
    lay->addLayout(buttons);

    // Load.
    WasOnline = Link && Link->OnlineMode;
    LoadCommSettings();
    ToolFolders = {AppFolder::resolve(QStringLiteral("\\TRX51")), AppFolder::resolve(QStringLiteral("\\TRX96")),
                   AppFolder::resolve(QStringLiteral("\\KDR51"))};

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
    setMinimumWidth(540);
    adjustSize();
    CenterForm(this);
}

void frmSetupComm::trappedError(const QString &title, int number, const QString &description)
{
    if (AppDialogs)
        AppDialogs->message(Dialogs::Icon::Information, title,
                            QStringLiteral("Error Number = %1\r\n\r\n%2").arg(number).arg(description));
}

void frmSetupComm::LoadCommSettings()
{
    PortNumber = 1;
    PortBaudRate = 9600;
    const QString file = Link ? Link->CommSettingsFile() : AppFolder::resolve(QStringLiteral("\\Support\\RSPort.cfg"));
    const FileBytes read = QFileInfo::exists(file) ? readRegularFile(file, kMaxSettingsFileBytes) : FileBytes{};
    if (!read.ok()) {
        trappedError(QStringLiteral("SetupComm CurrentSettings"), 75,
                     QStringLiteral("%1: cannot read %2: %3").arg(errorDescription(75), QDir::toNativeSeparators(file), read.error));
    } else {
        const QString text = Ansi::decode(read.bytes);
        if (!text.isEmpty()) {
            const QString line = text.section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
            const QStringList items = line.split(QLatin1Char(','));
            const Item16 port = readItem16(items.value(0));
            int error = port.error;
            if (!error) {
                PortNumber = port.value;
                if (items.size() < 2) {
                    error = 62;
                } else {
                    const Item16 speed = readItem16(items.at(1));
                    error = speed.error;
                    if (!error)
                        PortBaudRate = speed.value;
                }
            }
            if (error)
                trappedError(QStringLiteral("SetupComm CurrentSettings"), error, errorDescription(error));
        }
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

void frmSetupComm::refreshDevice()
{
    bool ok = false;
    const double v = txtCommPort->text().trimmed().toDouble(&ok);
    if (!ok || v < updCommPort->Min() || v > updCommPort->Max()) {
        lblDevice->setText(QStringLiteral("Device: -"));
        return;
    }
    const int n = clampPort(std::nearbyint(v), updCommPort->Min(), updCommPort->Max());
    const QString dev = AppFolder::portDevice(n);
    QString text = QStringLiteral("COM%1 on this computer:\n%2").arg(n).arg(QDir::toNativeSeparators(dev));
    const QFileInfo fi(dev);
    if (fi.isSymLink())
        text += QStringLiteral("\n\u2192 %1%2").arg(fi.symLinkTarget(), fi.exists() ? QString() : QStringLiteral("  (missing)"));
    else if (!fi.exists())
        text += QStringLiteral("  (no such device)");
    lblDevice->setText(text);
}

bool frmSetupComm::txtCommPort_Validate()
{
    const int lo = updCommPort->Min(), hi = updCommPort->Max();
    bool ok = false;
    const double v = txtCommPort->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(v) && v >= lo && v <= hi)
        return true;
    if (AppDialogs)
        AppDialogs->message(Dialogs::Icon::Information, QStringLiteral("Comm Port"),
                            QStringLiteral("Only a Number Between %1 and %2 can be Entered").arg(lo).arg(hi));
    return false;
}

bool frmSetupComm::eventFilter(QObject *obj, QEvent *e)
{
    if (obj == txtCommPort && e->type() == QEvent::FocusOut && !validating_) {
        // Checked once the focus has settled: leaving for Cancel or for
        // another window is not an entry.
        QTimer::singleShot(0, this, [this] {
            QWidget *now = focusWidget();
            if (!isVisible() || !isActiveWindow() || now == txtCommPort || now == cmdCancel)
                return;
            validating_ = true;
            if (!txtCommPort_Validate()) {
                txtCommPort->setFocus();
            }
            validating_ = false;
        });
    }
    return QDialog::eventFilter(obj, e);
}

void frmSetupComm::cmdSave_Click()
{
    if (Link)
        Link->CloseRSComm();

    const int lo = updCommPort->Min(), hi = updCommPort->Max();
    const QString text = txtCommPort->text().trimmed();
    bool ok = false;
    double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        v = double(LeadingNumber(text));
    PortNumber = qint16(clampPort(std::nearbyint(v), lo, hi));
    PortBaudRate = optPortSpeed[1]->isChecked() ? 19200 : 9600;

    const QString file = Link ? Link->CommSettingsFile() : AppFolder::resolve(QStringLiteral("\\Support\\RSPort.cfg"));
    const QFileInfo fi(file);
    if (!fi.dir().exists() && !QDir().mkpath(fi.absolutePath())) {
        trappedError(QStringLiteral("SetupComm"), 76, errorDescription(76));
        return;
    }
    {
        QSaveFile f(file);
        const QByteArray line = QStringLiteral("%1, %2 \r\n").arg(PortNumber).arg(PortBaudRate).toLatin1();
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(line) != line.size() || !f.commit()) {
            trappedError(QStringLiteral("SetupComm"), 75, errorDescription(75));
            return;
        }
    }
    for (const QString &folder : ToolFolders) {
        if (!QFileInfo(folder).isDir())
            continue;
        QSaveFile f(AppFolder::resolveAbsolute(folder + QStringLiteral("/TARNEX.SFG")));
        const QByteArray line = QByteArray::number(PortNumber - 1) + "\r\n";
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(line) != line.size() || !f.commit()) {
            trappedError(QStringLiteral("SetupComm"), 75, errorDescription(75));
            return;
        }
    }

    if (!WasOnline) {
        accept();
        return;
    }
    Link->OpenRSComm(CommPortControl);
    if (Link->OnlineMode) {
        accept();
        return;
    }
    Link->OnlineMode = false;
    refreshDevice();
}

void frmSetupComm::cmdCancel_Click()
{
    reject();
}
