// The link's board identity and fault text members.
#include "AppFolder.h"
#include "BoardIdentity.h"
#include "Dialogs.h"
#include "RSComm.h"
#include <QFileInfo>

QString RSComm::TargetboardName(int BoardType) { return BoardIdentity::targetboardName(BoardType); }

QString RSComm::LCFBoardIndex(int BoardType) { return BoardIdentity::lcfBoardIndex(BoardType); }

QString RSComm::MarkHex2HEX(const QString &MarkHEX) { return BoardIdentity::markHexToHex(MarkHEX); }

QString RSComm::HEX2MarkHEX(const QString &HexCode) { return BoardIdentity::hexToMarkHex(HexCode); }

int RSComm::FirmwareRev()
{
    if (!OnlineMode || CommError)
        return -1;
    BusyGuard guard(*this);
    if (guard.nested())
        return -1;
    const QString v = ReadData(QStringLiteral("B8159"));
    return v.isEmpty() ? -1 : v.toInt();
}

int RSComm::FaultCode()
{
    BusyGuard guard(*this);
    if (guard.nested())
        return 0;
    return ReadData(QStringLiteral("B8176")).toInt();   // "" when the read failed: 0
}

QString RSComm::FaultDescription(int FltCode)
{
    const QString prefix = QStringLiteral("Fault Code (") + BoardIdentity::codeText(FltCode) + QStringLiteral("H): ");
    const QString path = AppFolder::resolve(QStringLiteral("\\Support\\FaultErrCodes.txt"));
    if (!QFileInfo::exists(path))
        return prefix + QStringLiteral("--- Fault File Not Found ---");
    const FileBytes file = readRegularFile(path, BoardIdentity::kMaxCodeFileBytes);
    if (!file.ok()) {
        dialogs_.message(Dialogs::Icon::Information, QStringLiteral("RSComm FaultDescription"),
                         Dialogs::fileAccessErrorText(file.error));
        return prefix;
    }
    return BoardIdentity::faultLine(FltCode, BoardIdentity::parseCodeRecords(Ansi::decode(file.bytes)));
}
