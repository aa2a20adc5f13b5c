#pragma once
// Whether a serial device is there to be used, asked without using it.
#include <QString>
#include <optional>

namespace PortPresence {

// True when `device` (a path, symbolic links followed) is a terminal that
// exists and that the program's own serial port could take now: it opens,
// it is not the master side of a pseudo-terminal, and no other open of it
// holds its lock (another program's, or the program's own port still open on
// it). Nothing is written or read, and the modem lines are left as the
// program's own open leaves them: the open raises DTR and RTS as any open
// does, and they stay up when it is closed again, so a board that resets on
// their edges does not see one pulse each time the device is looked at.
// Never blocks. On Windows `device` is "COMn", and a port that another
// program has open is not available.
bool available(const QString &device);

// When `device` (links followed) is there but this user may not open it for
// reading and writing, the group that owns it ("dialout" on most systems; its
// number when it has no name). nullopt when it can be opened, is not there,
// or is refused for another reason. Opens nothing.
std::optional<QString> deniedGroup(const QString &device);

}   // namespace PortPresence
