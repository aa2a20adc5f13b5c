#pragma once
// RSComm: the one link to the target board. It owns the serial line and
// speaks the board's byte protocol: mode handshakes, echoed single-byte
// exchanges with time-outs and operator retry, and memory reads and writes
// by symbolic address.
#include "BoardAddress.h"
#include "PlsValues.h"
#include "ProgramFiles.h"
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class SerialPort;
struct FileBytes;
class Dialogs;
class Clock;

class RSComm {
public:
    RSComm(Dialogs &dialogs, const Clock &clock);
    ~RSComm();
    RSComm(const RSComm &) = delete;
    RSComm &operator=(const RSComm &) = delete;

    // Public flags of the link.
    bool OnlineMode = false;
    bool CommError = false;

    // Lowest and highest COM port numbers (the comm port window's selector uses them too).
    static constexpr int MinPortNumber = 1;
    static constexpr int MaxPortNumber = 99;
    static constexpr int NoAnswer = 9999;   // exchange sentinel

    QString CommSettingsFile() const;
    // Reads the settings file, opens the port and probes the board with one
    // 0xFF. OnlineMode tells whether the board answered. A settings step that
    // fails shows "RSComm InitializeRSComm" (Retry/Cancel); a port that will
    // not open shows "Comm Port Error" and sets CommError.
    void OpenRSComm(SerialPort *port);
    // Signs off (one 0xFF when the link is healthy) and closes the port. Never fails.
    void CloseRSComm();

    // The value at the address as decimal text; "0" when the read failed.
    // lastAccessOk() tells a real 0 from a failure. An address that cannot be
    // sent shows "ENTRY ALERT" and sends nothing (lastAccessRefused()). A line
    // fault (time-out, wrong echo, an answer too many) abandons the read and
    // starts it once more from the mode handshake; a dead board shows the
    // communication box and leaves CommError set.
    QString RSRead(const QString &Add);
    // The value at the address for a caller that keeps it or acts on it
    // (orvelctl read, the data upload): reads carry no checksum, so the
    // address is read until two reads in a row give the same value, at most
    // four reads; the windows' polls keep RSRead's single read. Returns that
    // value as decimal text; "0" with lastAccessOk() false when a read timed
    // out or the link went down (as RSRead fails: the communication box on a
    // dead board, CommError), or when no two reads in a row agreed within the
    // four (no box; a read that failed on a wrong or stray answer is one of
    // them and agrees with nothing). An address that cannot be sent shows
    // "ENTRY ALERT" (lastAccessRefused()).
    QString RSReadConfirmed(const QString &Add);
    // The line time of one RSReadConfirmed of the address at `baud`, on its
    // shortest course: the link already in read mode, two reads that agree,
    // each byte of the value two exchanges (the address high byte and its
    // echo, the low byte and the data), an exchange a byte each way of 10
    // bits (8N1). The board answers as it takes a byte: the link knows no
    // turn-around of the board's beyond the 1.0 s it waits at most, so none
    // is added. 0 for an address that cannot be sent.
    static std::int64_t ConfirmedReadLineNs(const QString &Add, int baud);
    // The speed OpenRSComm sets from the settings file: 19200 or 9600, and
    // 9600 when the file has none or cannot be read (as the link makes it).
    int SettingsSpeed() const;
    // False, with the "ENTRY ALERT" box shown, when the address cannot be sent.
    bool CheckAddress(const QString &Add);
    // Writes the value. Entry errors show "ENTRY ALERT" and send nothing. A
    // line fault abandons the write and makes it once more from the mode
    // handshake; lastAccessOk() is true only when every echo of one whole
    // attempt was right. A bit write reads its byte as every kept value is
    // read (two reads in a row that agree, at most four) before it writes.
    void RSWrite(const QString &Add, const QString &DataValue);
    // The checks RSWrite makes before anything is sent, without sending:
    // false, with its "ENTRY ALERT" box shown, when the write would be refused.
    bool CheckWrite(const QString &Add, const QString &DataValue);

    // Address checks over the same notation; pure, no board traffic (AddressCheck.h).
    // Whether the address exists on the board with that type code.
    static bool ValidAdd(const QString &Var, int TargetBoardIndex);
    // The byte or byte-and-bit address of an I/O point name, or Var unchanged.
    static QString EquateAdd(const QString &Var, int TargetBoardIndex);
    // The two-field point numbering; 64-bit, Dec2Octal saturates at its ends.
    static std::int64_t Dec2Octal(std::int64_t DecNum);
    static std::int64_t Octal2Dec(std::int64_t OctNum);

    // The board's programmable limit switch (PlsCommands.cpp). Each operation
    // holds the link busy; while it is busy another is refused at once
    // (lastAccessRefused()). A value that cannot be sent as its bytes is
    // refused before anything is sent, with a box titled as the operation
    // (lastAccessRefused()). Time-outs and the communication box are those of
    // every exchange; a change the PLS does not report done within 3.0 s
    // (2.0 s after each Retry) shows "Cannot Determine PLS READY Mode Within
    // Target Board.", and Cancel there sets CommError. An answer other than
    // the acknowledgement ends an operation with false and no box.
    //
    // Scale factor, offset, position and speed as decimal text; "-9999" when
    // the query failed.
    QString PLSScaleFactor();
    QString PLSOffset();
    QString PLSPos();
    QString PLSRpm();
    // Programs one on/off pair (after clearing the channel with ClearChan).
    // A setpoint above the scale factor minus 1 shows "PLS Single Setpoint" and
    // sends nothing more. True when the PLS reported the change done.
    bool SingleSetpoint(int Chan, int OnSetpoint, int OffSetpoint, bool ClearChan = false);
    // Programs a pulse train: ON_Division on, OFF_Division off, from
    // START_Division. Divisions that do not fit the scale show "PLS Pulse
    // Train" and send nothing more; a failure while programming shows it too.
    bool PulseTrain(int Chan, int ON_Division, int OFF_Division, int START_Division);
    bool ClearPLSChan(int Chan);
    // Reads a channel back into ChannelRecallPos and ChannelRecallState. On a
    // failure the position is 0 and the state 2 (link down, position out of
    // range) or 0 (no good answer).
    bool RecallChannel(int Chan);
    int ChannelRecallPos() const { return channelRecallPos_; }
    int ChannelRecallState() const { return channelRecallState_; }
    // Shifts the offset so that the current position reads as Position.
    // A Position above the scale factor shows "Set PLS Offset" and sends
    // nothing more; so does a PLS that reports a scale factor of 0.
    bool SetPLSOffset(int Position);
    // Sends the 24 configuration bytes in four blocks, then the scale factor.
    bool PLSConfigDownload(const std::array<int, plsvalues::kConfigParams> &CfgParam, int ScaleFactor);
    // The 19 configuration bytes; when they could not be read, "PLS Upload"
    // is shown, lastAccessOk() is false and the bytes of the last good upload
    // are returned.
    std::array<int, plsvalues::kConfigBytes> PLSConfigUpload();
    // After a PLS operation that failed once it had begun sending a change:
    // what the PLS took ("PLS changed: channel 3 cleared"), what it may have
    // taken ("PLS perhaps changed: configuration block 2"), or "PLS not
    // changed". Empty after a success, or when no change went out.
    QString plsChangeNote() const;
    // Why the last PLS read failed when its answers came but did not agree
    // ("four reads did not agree: 360, 6911, 360, 6911"); empty otherwise.
    QString plsReadProblem() const { return plsReadProblem_; }

    // Board identity and fault texts (BoardService.cpp).
    // The board name of a board type code; the configuration-file index character.
    static QString TargetboardName(int BoardType);
    static QString LCFBoardIndex(int BoardType);
    // The firmware revision byte; -1 without any traffic when the link is
    // offline or has failed, and -1 when the read fails: 0 is a revision a
    // board can have, so a revision that was not read is never given as one.
    int FirmwareRev();
    // The board's current fault code; 0 when the read failed (CommError tells).
    int FaultCode();
    // "Fault Code (0AH): " and the code's text from "\Support\FaultErrCodes.txt";
    // "--- Fault File Not Found ---" after the prefix when the file is missing.
    // A file that cannot be read shows "RSComm FaultDescription" and gives the prefix.
    QString FaultDescription(int FltCode);
    // MarkHEX digits (":" to "?" for A to F) to hexadecimal and back.
    static QString MarkHex2HEX(const QString &MarkHEX);
    static QString HEX2MarkHEX(const QString &HexCode);

    // Program download (ProgramDownload.cpp). Selects the program file set of
    // a main file (".tnx") and checks it for its board type; the reasons a
    // set is refused are shown in boxes ("Program Download", "PLS Program
    // Download"); a file that cannot be read shows "RSComm-Download File".
    void DownloadFile(const QString &path);
    // The selected set passed every check of its board type (cleared by a download).
    bool ValidProgram() const { return validProgram_; }
    // Sends the selected program to the board with its dialogs, record by
    // record, then stores its ident, checksum and revision in the board.
    // betweenRecords runs before each record: the window lets its events run
    // there (it must not start a board access; the link stays busy
    // throughout). lastAccessOk() is true when "Program Download Complete!"
    // was shown. The whole hex file is read and checked (CheckProgramHex)
    // before anything is written to the board.
    // stepShown runs, with no events let run, where the progress changes
    // outside the records: after the last record, before the wait that
    // follows it, and before each ident write (WritingIdent set).
    void DumpProgram(const std::function<void()> &betweenRecords = {}, const std::function<void()> &stepShown = {});
    // Reads the selected set's hex file and checks every line, sending
    // nothing: each line must be a well-formed record (a line end is CR LF,
    // LF or CR; anything else on a line, blanks too, is part of it), the
    // data must lie inside the board's 64 KiB, and there must be at least one
    // data record. False after the box that says why ("Program Download":
    // no such file, "File is Not Valid"; "Program Dump": a line that is not
    // a record; "RSComm DumpProgram": a file that cannot be read).
    bool CheckProgramHex() { return readProgramHex().has_value(); }
    // What the selected set holds ("Unknown" until read), for the windows.
    int ProgramBoardType() const { return programBoardType_; }
    QString ProgramIdent() const { return programIdent_; }
    QString ProgramRevision() const { return programRevision_; }
    QString ProgramChecksum() const { return programChecksum_; }

    // Program upload (ProgramUpload.cpp). Names the set to write next to an
    // existing main file; no checks, no messages ("RSComm UploadFile" when
    // the main file cannot be read).
    void UploadFile(const QString &path);
    // While InUploadMode is set: reads the board's program ident, its
    // configuration and its program range into the set's revision,
    // configuration and hex files, each written whole or not at all. Every
    // byte is a confirmed read (see RSReadConfirmed); a range reaching FF00H
    // ends at FEFFH and the completion box says so. betweenBlocks runs before
    // each 16-byte block. A failed read ends with "Program Upload Not
    // Complete!" and leaves the earlier hex file as it was. lastAccessOk() is
    // true when "Program Upload Complete!" was shown.
    void UploadProgram(const std::function<void()> &betweenBlocks = {});

    // Progress of a program transfer, for the window that follows it.
    bool InProgramMode = false;                        // a program download is running
    bool InUploadMode = false;                         // a program upload is requested or running
    QString CurrentProgramAdd = QStringLiteral(" ");   // "1A40H": the record being sent or read
    bool WritingIdent = false;                         // the download is writing the program ident
    bool ReadingIdent = false;                         // the upload is reading the program ident

    // A board access is in progress (a box raised inside an exchange lets
    // timers run; they must not start another access).
    bool isBusy() const { return busy_ > 0; }
    // The last RSRead/RSWrite or PLS operation was refused before anything
    // was sent: a bad address or value, or the link was busy.
    bool lastAccessRefused() const { return refused_; }
    // The last RSRead returned the board's own value, the last RSWrite
    // completed with every echo right, or the last PLS operation succeeded.
    // False after a refusal, on a dead link and when a line fault made the
    // link give the access up.
    bool lastAccessOk() const { return lastOk_; }
    int currentMode() const { return CurrentMode; }
    bool initError() const { return InitError; }
    SerialPort *port() const { return port_; }
    // The link opened the port and did not close it, and the port is closed:
    // its device went away (adapter unplugged, far end of a pty closed).
    bool portLost() const;

protected:
    // Holds the link busy for one public operation; nested operations are refused.
    class BusyGuard {
    public:
        explicit BusyGuard(RSComm &c) : c_(c), nested_(c.busy_ > 0) { ++c_.busy_; }
        ~BusyGuard() { --c_.busy_; }
        bool nested() const { return nested_; }

    private:
        RSComm &c_;
        bool nested_;
    };

    // Starts a public operation that reports its outcome: clears the outcome
    // flags; false (the operation refused) when another access is in progress.
    bool startOperation(const BusyGuard &guard);
    void InitializeRSComm(SerialPort *port);
    int ExchangeByte(int value, bool noReply, bool flushFirst);
    bool SetPLCMode(int mode, int commandByte);
    // Program transfer building blocks.
    bool SetProgramIdent(const QString &revPath);
    bool SetProgramConfig(const QString &lcfPath);
    // Lets the line rest for ns, throwing away whatever arrives.
    void restLine(std::int64_t ns);
    // One record: its bytes without answers, then the board's checksum answer
    // (NoAnswer after 1.0 s).
    int sendRecord(const QByteArray &bytes);
    // Writes a program file whole; false with "RSComm-Upload Program" shown.
    bool writeProgramFile(const QString &path, const QByteArray &bytes);
    // PLS building blocks (PlsCommands.cpp); each starts from CurrentMode 0.
    // A change (`what` names it in plsChangeNote()) sends its values and
    // waits for the ready poll; a failure leaves the board outside the block.
    int ReadPLSWord(int command);
    bool SendPLSWord(int command, int value, const QString &what);
    bool SendPLSChannel(int command, int chan, int a, int b, int last, const QString &what);
    bool SendPLSBlock(int command, const int *values, const QString &what);
    bool sendPLSChange(int mode, int command, const std::vector<int> &values, const QString &what);
    bool ReadPLSConfig(int command);
    // A word read until two reads in a row agree (at most four); -9999 when it failed.
    int confirmedPLSWord(int command);
    bool recallOnce(int chan, std::array<int, 3> &got, int &failState);
    bool startPLSOperation(const BusyGuard &guard);
    // The board takes every byte as a value in this mode (5 and 7).
    static bool takesEveryByte(int mode);
    // One 0xFF and a rest past the drop time (PlsCommands.cpp says why).
    void leaveValueBlock();
    // Ends a failed PLS exchange with the board outside its block; false.
    bool plsFailed(int mode, bool valuesSent);
    bool WaitPLSReady();
    bool enterPLSMode(int mode, int command);
    int plsAnswer(int value);
    bool plsEnd(bool ok);
    bool plsRefused(const plsvalues::Refusal &r);
    void restBetweenPolls();
    QString plsWordText(int command);

    // Encodes the value and writes it: one attempt and, after a line fault,
    // its one repeat. True when every echo of an attempt was right.
    bool WriteData(const QString &add, const QString &dataValue);
    // One read with its one repeat after a line fault; empty when it failed.
    QString ReadData(const QString &add);
    // The confirmation of every value the link keeps or acts on: readOnce
    // is called until two calls in a row return the same value, at most
    // kConfirmReads calls. readOnce returns the value read; an empty text
    // for a read that failed on a wrong or stray answer (it counts as one of
    // the calls, and agrees with nothing); nullopt for a failure that ends
    // it at once (a time-out, the link down, an address refused). Returns
    // the agreed value; empty when no two calls in a row agreed or a call
    // ended it. Sends nothing itself and shows no box.
    static constexpr int kConfirmReads = 4;
    static QString confirmedRead(const std::function<std::optional<QString>()> &readOnce);
    // ReadData confirmed: the program upload's bytes and ident.
    QString ReadDataConfirmed(const QString &add);
    // RSRead and RSReadConfirmed: the checks, the read, the outcome flags.
    QString readOperation(const QString &Add, bool confirmed);
    // Parses into the class state; false (with the box shown) when the address cannot be sent.
    bool parseInto(const QString &add);
    void entryAlert(const QString &reason);

    // How one attempt at a read or write ended.
    enum class Attempt {
        Done,        // every answer as expected
        LineFault,   // a time-out, a wrong echo or an answer too many: worth one more attempt
        Dead,        // CommError is set: the link is down
        Refused,     // the address could not be sent; nothing went out
    };
    // The bytes one write sends, worked out before anything goes on the line.
    struct WriteBytes {
        std::int64_t byteAdd = 0;
        int count = 0;   // bytes minus one
        int d[4] = {0, 0, 0, 0};
        bool bit = false;   // d[0] is a bit value to merge into the byte
        int bitMask = 1;
    };
    Attempt readAttempt(const QString &add, QString &value);
    // Filters and range-checks the value and parses the address; false (box
    // shown) when the write must not go out.
    bool encodeWrite(const QString &add, const QString &dataValue, WriteBytes &w);
    Attempt writeAttempt(const WriteBytes &w);
    Attempt sendWrite(const WriteBytes &w);
    void startAttempt();
    // "Cannot Communicate with Target Board." with Retry and Cancel; true for Retry.
    bool commBoxRetry();
    // A board that answers, but always too late to be trusted inside a
    // sequence, never completes an access. An attempt (started at sinceNs)
    // given up for a time-out or a late answer counts its time, and so does
    // the rest of the line after it; once that time since the last completed
    // access reaches what a silent board is given, the communication box is
    // shown. False, with CommError set, when the operator cancels it.
    bool stillTryingLateBoard(std::int64_t sinceNs);
    void countLate(std::int64_t sinceNs);
    void settleLine();
    void letLineFallQuiet();

    Dialogs &dialogs_;
    const Clock &clock_;
    SerialPort *port_ = nullptr;
    int busy_ = 0;
    bool refused_ = false;
    bool lastOk_ = false;

    int CurrentMode = 0;
    bool InitError = false;

    // Line state of the current attempt.
    bool portWanted_ = false;   // the link opened the port and has not closed it since
    bool inSequence_ = false;   // sending the address and data bytes of an access
    bool lineFault_ = false;    // this attempt saw a time-out or an answer too many
    bool timedOut_ = false;     // ... and one of them was a time-out
    int handshakes_ = 0;        // handshakes SetPLCMode has made (counted for the PLS commands)
    std::int64_t lastSentNs_ = 0;
    std::int64_t lastHeardNs_ = 0;
    // Time spent in attempts given up for time-outs or late answers, and in
    // the rests after them, since the last completed read or write.
    std::int64_t lateNs_ = 0;
    std::int64_t askedNs_ = 0;   // when the communication box was last answered

    // The selected program file set.
    QString tnxFile_, revFile_, hexFile_, lcfFile_;
    // Takes the four names of the file set of path and reads its main file;
    // false when path does not exist, or (with the box shown) when the main
    // file cannot be read.
    bool takeProgramFileSet(const QString &path, const QString &boxTitle, FileBytes &tnx);
    // The download of the selected hex file, or nullopt after its box;
    // trapped tells a file that could not be read.
    std::optional<ProgramFiles::DownloadPlan> readProgramHex(bool *trapped = nullptr);
    int programBoardType_ = 0;
    QString programBoardName_;
    QString programIdent_ = QStringLiteral("Unknown");
    QString programRevision_ = QStringLiteral("Unknown");
    QString programChecksum_ = QStringLiteral("Unknown");
    int configDigit1_ = 3, configDigit2_ = 0, configDigit3_ = 3;
    bool validProgram_ = false;

    // PLS state.
    std::array<int, plsvalues::kConfigBytes> PLSConfig{};
    int channelRecallPos_ = 0;
    int channelRecallState_ = 0;
    QString plsReadProblem_;
    std::array<int, plsvalues::kConfigBytes> readConfig_{};
    bool plsChangeSent_ = false;           // the operation began sending a change
    QStringList plsChanged_, plsPerhaps_;  // what the PLS took, what it may have taken

    // Memory access state.
    QString AddType = QStringLiteral("B");
    std::int64_t ByteAdd = 0;
    int BitMask = 1;
    bool BitAccess = false;
    QString LastReadAdd;
    int readCount = 0;
    int readData[4] = {0, 0, 0, 0};
    bool WriteError = false;
};
