#pragma once
// The texts the DF1 module window shows for the module's status bytes. Pure
// functions of the values read, so the tables can be checked without a
// window or a board.
#include <QString>

namespace DF1Status {

// A status code as the module's manuals write it: upper-case hexadecimal
// without leading zeros (16 -> "10", 240 -> "F0", 0 -> "0").
QString HexCode(qint64 code);

// K2950 configuration status (B4023): "(2) Success", "(7) Unknown Status".
QString ConfigurationText(qint64 v);

// Transmit data status (B4021, B4022): "(2) Done", "(9) Unknown Status".
QString TransmitText(qint64 v);

// Link layer status when B4303 is 0; the status bytes are not read then.
QString LinkLayerNoErrorText();

// Link layer status when B4303 is not 0, from the status code byte (B4018)
// and, for code F0, the extended status code byte (B4019).
QString LinkLayerText(qint64 statusCode, qint64 extendedCode);

// Extended status (status code F0) by its extended code: "(F0-11) Illegal Data Type".
QString ExtendedText(qint64 extendedCode);

// Active command (B4014): "Read" for 0, "Write" for 1, else "(v) Unknown".
QString ActiveCommandText(qint64 v);

// Received command bit (B4302.6): "Command" for 0, "Reply" for 1, else "(v) Unknown".
QString ReceivedCommandText(qint64 v);

}   // namespace DF1Status
