#pragma once
// Values the PLS operations send as bytes: a channel and a configuration
// value are one byte, a setpoint, a start division and the scale factor two.
// A value that does not fit its bytes is refused before anything goes to the
// board. Values an operation checks against the board's own figures (the
// setpoints and the start against the scale, the pulse divisions, the offset
// position) are left to that operation, apart from negative numbers.
// Pure: no board traffic, no boxes. The link shows the refusal in a box;
// orvelctl checks its arguments with the same rules before it opens the port.
#include <QString>
#include <array>

namespace plsvalues {

struct Refusal {
    QString title;   // the box title of the operation
    QString text;    // empty: the values can be sent
    explicit operator bool() const { return !text.isEmpty(); }
};

constexpr int kConfigParams = 24;   // configuration download: 4 blocks of 6 bytes
constexpr int kConfigBytes = 19;    // configuration upload

Refusal singleSetpoint(int chan, int onSetpoint, int offSetpoint);
Refusal pulseTrain(int chan, int onDivision, int offDivision, int startDivision);
Refusal clearChannel(int chan);
Refusal recallChannel(int chan);
Refusal setOffset(int position);
Refusal configDownload(const std::array<int, kConfigParams> &cfgParam, int scaleFactor);

}   // namespace plsvalues
