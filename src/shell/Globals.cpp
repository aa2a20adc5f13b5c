#include "Globals.h"

int SetupMaxIndex = kSetupMaxIndex;
SetupData DefaultSetup;
SetupData CurrentSetup;
SetupData SavedSetup;
SetupData FileSetup;
QString ProgramVersion;
bool SetupUntitled = true;
bool OfflineEditing = false;
int TransferMode = 0;
QString StatusMessage;
QStringList AlarmMessages;
int WaitDisplayMode = 0;
RSComm *Link = nullptr;
SerialPort *CommPortControl = nullptr;
Dialogs *AppDialogs = nullptr;
const Clock *AppClock = nullptr;

void InitSetupTables()
{
    SetupMaxIndex = kSetupMaxIndex;
    ProgramVersion = MakeProgramVersion();
    DefaultSetup = BuildDefaultSetup(ProgramVersion);
    CurrentSetup = DefaultSetup;
    SavedSetup = DefaultSetup;
    SetupUntitled = true;
}

void BuildAlarmMessages()
{
    const QString nl = QStringLiteral("\r\n");
    const QString a0 = QStringLiteral("Please StandBy");
    const QString a1 = QStringLiteral("Check Reject PE or Can Presence Sensor");
    const QString a2 = QStringLiteral("Can/Reject Tracking System");
    const QString a3 = QStringLiteral("Calibrate FIFO Error Detection");
    const QString a4 = QStringLiteral("Correct Problem and Press RESET ALARMS to Continue");

    AlarmMessages = QStringList{
        QStringLiteral(" "),
        QStringLiteral("Can Flow Fault - No Cans at Machine Infeed") + nl + a4,
        QStringLiteral("Leak Detector Array Fault") + nl + a4,
        QStringLiteral("Tester Can Jam or Discharge Photo Eye Fail") + nl + a4,
        QStringLiteral("Can Jam or Back-up at Discharge") + nl + a4,
        QStringLiteral("Reject Tracking Fault") + nl + a4,
        QStringLiteral("Timing Resolver Failure") + nl + a4,
        QStringLiteral("Tester Did Not Reject Defective Can") + nl + a4,
        QStringLiteral("Blow-off Photo Eye Lenses Dirty (clean lenses)") + nl + a4,
        QStringLiteral("Can Presence Sensor Failure") + nl + a4,
        QStringLiteral("Can Tracking Logic Resetting") + nl + a0,
        QStringLiteral("System is Rejecting The Wrong Can (excessive high correction count)") + nl + a1,
        QStringLiteral("System is Rejecting The Wrong Can (excessive low correction count)") + nl + a1,
        QStringLiteral("Run Tester Empty of Cans to Reset") + nl + a2,
        QStringLiteral("FIFO Error Correction is Disabled") + nl + a3,
    };
}
