#pragma once
// The globals every window shares: the parameter table copies, the program
// version, the shell flags and the one link to the board. The main window
// owns them for the whole run and fills them at start-up.
#include "SetupData.h"
#include <QString>
#include <QStringList>

class RSComm;
class SerialPort;
class Dialogs;
class Clock;

extern int SetupMaxIndex;
extern SetupData DefaultSetup;
extern SetupData CurrentSetup;
extern SetupData SavedSetup;
extern SetupData FileSetup;
extern QString ProgramVersion;
extern bool SetupUntitled;
extern bool OfflineEditing;
extern int TransferMode;            // 0 upload, 10 download
extern QString StatusMessage;       // written by the background poll
extern QStringList AlarmMessages;   // alarm texts by alarm number 0..14
extern int WaitDisplayMode;
extern RSComm *Link;   // the one link to the target board
extern SerialPort *CommPortControl;

// The boxes and file dialogs of the running program, and its clock.
extern Dialogs *AppDialogs;
extern const Clock *AppClock;

// Fills SetupMaxIndex, ProgramVersion, DefaultSetup, CurrentSetup, SavedSetup
// and SetupUntitled.
void InitSetupTables();

// Fills AlarmMessages.
void BuildAlarmMessages();

// Makes the link, the menus and the status bar agree with the link's
// OnlineMode and CommError (the main window does the work).
void ApplyOnlineState();
