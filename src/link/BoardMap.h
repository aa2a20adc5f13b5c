#pragma once
// Board addresses used in more than one place, or by the main window. A
// window's own table of fields stays with the window.
#include <QString>

namespace BoardMap {

// Alarms: a stopping alarm, a warning, and the number of the alarm shown.
inline const QString StoppingAlarmFlag = QStringLiteral("F54");
inline const QString WarningAlarmFlag = QStringLiteral("F60");
inline const QString AlarmNumber = QStringLiteral("B2072");

// Machine speed (cans a minute) and the current shift's counts: good cans,
// leaker rejects, vision rejects. The board's end of shift copies the counts
// into the last shift's and zeroes them.
inline const QString MachineSpeed = QStringLiteral("W556");
inline const QString ShiftGoodCans = QStringLiteral("D1100");
inline const QString ShiftLeakerRejects = QStringLiteral("D1104");
inline const QString ShiftVisionRejects = QStringLiteral("D1108");

// Command flags the program sets to 1; the board clears them when done.
inline const QString AlarmResetFlag = QStringLiteral("F50");
inline const QString TestBlowOffFlag = QStringLiteral("F805");

// The keypad passcode of the board's operator panel.
inline const QString Passcode = QStringLiteral("W1070");

// Read once on going online. Its value is not used: the read is the first
// real exchange after the probe, so a board that answers the probe but not a
// read shows up at once (CommError), and the next tick reports it.
inline const QString OnlineCheckByte = QStringLiteral("B554");

}
