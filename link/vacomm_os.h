#pragma once

// The operating-system side of the serial channel. Every function throws
// EVaCommError with the channel's texts; one implementation file per platform.

#include "link/vacomm.h"

#include <QString>

namespace vacomm_os {

struct LineSettings {
    int baudrate = 0; // bit/s
    TVaDatabits databits = db8;
    TVaParity parity = paNone;
    TVaStopbits stopbits = sb1;
    TVaCommOptions options = 0;
    bool outCtsFlow = false;
    bool outDsrFlow = false;
    bool xonXoffOut = false;
    bool xonXoffIn = false;
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    TVaControlDtr controlDtr = dtrDisabled;
    TVaControlRts controlRts = rtsDisabled;
    std::uint8_t xonChar = 17;
    std::uint8_t xoffChar = 19;
};

// The device a port name stands for: "COM3" gives /dev/ttyS2, an absolute
// path stays as it is, anything else is looked for under /dev.
QString devicePathFor(const QString& portName);

// Opens the device for exclusive use. `portName` and `path` appear in the
// error texts.
int openPort(const QString& portName, const QString& path);
// Gives up the exclusive use at once (an event thread may still hold a
// duplicate for a moment) and closes the descriptor.
void closePort(int fd);
void applyLineSettings(int fd, const LineSettings& settings);
void flushInput(int fd);
// 0 also when the device has gone away.
int bytesWaiting(int fd);
int readPort(int fd, char* buffer, int count);
// False when the driver keeps no counters or the device has gone.
bool lineCounters(int fd, TVaLineCounters& counters);

} // namespace vacomm_os
