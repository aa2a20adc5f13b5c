// Program upload: the board's program ident, configuration and program range
// are read back into the revision, configuration and hex files of a program
// file set. Every file is written whole or not at all.
#include "AppFolder.h"
#include "Dialogs.h"
#include "ProgramFiles.h"
#include "RSComm.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace {
const QString kUploadTitle = QStringLiteral("Program Upload");
constexpr int kIdentFirst = 61424;
constexpr int kConfig8188 = 8188, kConfig8189 = 8189, kConfig8190 = 8190;

QString byteAddress(int a) { return QStringLiteral("B") + QString::number(a); }

}   // namespace

void RSComm::UploadFile(const QString &path)
{
    FileBytes tnx;
    if (!takeProgramFileSet(path, QStringLiteral("RSComm UploadFile"), tnx))
        return;
    if (const std::optional<int> type = ProgramFiles::boardType(tnx.bytes)) {
        programBoardType_ = *type;
        programBoardName_ = TargetboardName(*type);
    }
}

bool RSComm::writeProgramFile(const QString &path, const QByteArray &bytes)
{
    const QString why = writeFileWhole(path, bytes);
    if (why.isEmpty())
        return true;
    dialogs_.message(Dialogs::Icon::Information, QStringLiteral("RSComm-Upload Program"), Dialogs::fileAccessErrorText(why));
    return false;
}

void RSComm::UploadProgram(const std::function<void()> &betweenBlocks)
{
    BusyGuard guard(*this);
    if (!startOperation(guard)) {
        return;
    }
    ReadingIdent = false;
    if (!InUploadMode)
        return;
    struct EndUpload {
        RSComm &c;
        ~EndUpload()
        {
            c.InUploadMode = false;
            c.ReadingIdent = false;
        }
    } endUpload{*this};
    if (!OnlineMode) {
        dialogs_.message(Dialogs::Icon::Information, kUploadTitle,
                         QStringLiteral("Program is Currently OFFLINE.\r\n\r\nSwitch to ONLINE MODE to Continue."));
        return;
    }
    // A read the board did not answer reliably ends the upload as not
    // complete: its byte would be written to the files as a 0. Every byte
    // kept is confirmed (two reads in a row that agree).
    auto notComplete = [this] {
        dialogs_.message(Dialogs::Icon::Critical, kUploadTitle,
                         QStringLiteral("Program Upload Not Complete!\r\n\r\nHEX file not created."));
        OnlineMode = false;
    };
    auto readByte = [this](int address, int &value) {
        if (CommError)
            return false;
        const QString v = ReadDataConfirmed(byteAddress(address));
        value = v.toInt();
        return !v.isEmpty() && !CommError;
    };
    // 3. The ident, checksum and revision.
    QByteArray ident;
    int checksum = 0, revision = 0;
    for (int i = 0; i < 10; ++i) {
        ReadingIdent = true;
        int v = 0;
        if (!readByte(kIdentFirst + i, v)) {
            if (!CommError)
                notComplete();
            return;
        }
        if (i < 8)
            ident.append(char(v));
        else if (i == 8)
            checksum = v;
        else
            revision = v;
    }
    ReadingIdent = false;
    if (!writeProgramFile(revFile_, ProgramFiles::revisionFile(ident, checksum, revision)))
        return;
    const FileBytes tnx = readRegularFile(tnxFile_, ProgramFiles::kMaxItemFileBytes, LargerFile::ReadInPart);
    const std::optional<int> type = tnx.ok() ? ProgramFiles::boardType(tnx.bytes) : std::nullopt;
    if (!type)
        return;
    // 6. The configuration, written only when all three values were read.
    if (ProgramFiles::hasConfig(*type)) {
        int b8190 = 0, b8189 = 0, b8188 = 0;
        if (!readByte(kConfig8190, b8190) || !readByte(kConfig8189, b8189) || !readByte(kConfig8188, b8188)) {
            notComplete();
            return;
        }
        if (!writeProgramFile(lcfFile_,
                              ProgramFiles::configFile(*type, ProgramFiles::configFromBoard(b8190, b8189, b8188))))
            return;
    }
    // 7. The program range, 16 bytes a record. An address high byte of FFH
    // re-synchronises the board, so a range reaching FF00H (the K2707's)
    // ends at FEFFH, and the completion box says so.
    const ProgramFiles::UploadRange range = ProgramFiles::uploadRange(*type);
    const int end = int(std::min<std::int64_t>(range.first + range.count, kHighestSendableAddress + 1));
    const bool cutShort = end < range.first + range.count;
    QByteArray hex;
    CurrentProgramAdd = QStringLiteral(" ");
    for (int block = range.first; block < end; block += 16) {
        CurrentProgramAdd = QString::number(block, 16).toUpper() + QLatin1Char('H');
        if (betweenBlocks)
            betweenBlocks();
        QByteArray sixteen;
        for (int i = 0; i < 16; ++i) {
            int v = 0;
            if (!readByte(block + i, v)) {
                // 9. The earlier hex file stays as it was.
                notComplete();
                return;
            }
            sixteen.append(char(v));
        }
        hex += ProgramFiles::hexRecordLine(block, sixteen);
    }
    hex += ProgramFiles::kHexEndLine;
    if (!writeProgramFile(hexFile_, hex))
        return;
    dialogs_.message(Dialogs::Icon::Information, kUploadTitle,
                     cutShort ? QStringLiteral("Program Upload Complete!\r\n\r\nAddresses FF00H to FFFFH cannot be "
                                               "read over the serial link and are not in the HEX file.")
                              : QStringLiteral("Program Upload Complete!"));
    OnlineMode = true;
    lastOk_ = true;
}
