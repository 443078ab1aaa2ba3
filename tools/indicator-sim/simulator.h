#pragma once

#include "tools/indicator-sim/frames.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace indicator {

enum class Mode { Live, Print };

struct CommandResult {
    QString error; // empty when the command was understood
    QString reply; // what to tell the operator, if anything
    int waitMs = 0;
    bool quit = false;
};

// The indicator's state and the commands that change it. It only produces
// bytes; the program around it decides when and where they are written.
class Simulator {
public:
    CommandResult command(const QString& line);

    // What one live period sends, write by write: one frame; `burst` frames
    // in one write; or, when splitting, each frame cut in two writes.
    QList<QByteArray> livePeriod() const;
    // Print frames and raw text queued by commands, oldest first.
    QList<QByteArray> takePending();
    // A USB serial adapter passes what it has on every few milliseconds:
    // each write then goes out in pieces of usbPiece() characters,
    // usbGapMs() apart. 0 when the line is a plain serial line.
    int usbPiece() const { return m_usbPiece; }
    int usbGapMs() const { return m_usbGapMs; }
    // The pieces of one write. The adapter's timer runs on its own, so the
    // first piece of each write is of another length and the cuts fall at
    // other places of the next frame.
    QList<QByteArray> usbPieces(const QByteArray& write);

    Mode mode() const { return m_mode; }
    int periodMs() const { return m_periodMs; }
    const Reading& reading() const { return m_reading; }
    static QString help();

private:
    Reading m_reading;
    int m_format = 0;
    bool m_split = false;
    bool m_silent = false; // a pulled cable: no live frames until the next command
    int m_burst = 1;
    int m_periodMs = 200;
    Mode m_mode = Mode::Live;
    int m_items = 0;
    double m_sum = 0.0;
    QList<QByteArray> m_pending;
    int m_usbPiece = 0;
    int m_usbGapMs = 16;
    int m_usbPhase = 0;
};

} // namespace indicator
