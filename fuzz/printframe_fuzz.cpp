#include "fuzz/fuzzinput.h"
#include "link/printframe.h"
#include "platform/codepage.h"

#include <QStringList>

namespace {

// Takes frames after every delivery, and once more when the line has gone
// quiet, as the station's hold timer does.
struct Receiver {
    QString buffer;
    QStringList decoded;

    void deliver(const QString& text, bool quietAfter) {
        buffer += text;
        take(false);
        if (quietAfter)
            take(true);
    }
    void take(bool lineQuiet) {
        for (const PrintFrame& f :
             takePrintFrames(buffer, QStringLiteral("kg"), QLatin1Char(','), lineQuiet))
            decoded.append(QString::number(int(f.kind)) + f.sequence + QLatin1Char('|') + f.weight);
        FUZZ_CHECK(buffer.size() < kLongestPrintFrame);
        FUZZ_CHECK(!lineQuiet || buffer.isEmpty());
    }
};

// A frame built from the input: a kind, a length and the text. A one-line
// frame has its line feeds taken out, so that only its own CR LF ends it.
QString frameFrom(FuzzInput& in, bool multiLine) {
    static const int lengths[] = {18, 20, 22, 24, 26, 71, 73, 75, 77, 79};
    const int length = lengths[in.byte() % 10];
    QString body = cp1250::decode(in.take(length - 2));
    if (!multiLine)
        body.replace(QLatin1Char('\n'), QLatin1Char(' '));
    body += QString(length - 2 - body.size(), QLatin1Char(' '));
    return body + QStringLiteral("\r\n");
}

} // namespace

// Well-formed frames decode as one per delivery wherever the deliveries of a
// burst end: any frame sent as a burst of its own, and one-line frames also
// several to a burst. Any stream, cut anywhere and quiet anywhere: the
// decoder never keeps more than a frame, keeps nothing once the line is
// quiet, and makes no more frames than the stream has line ends.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    if (in.byte() % 2) {
        QList<QString> frames;
        QList<bool> multiLine;
        for (int n = in.byte() % 8; n > 0 && !in.empty(); --n) {
            multiLine.append(in.byte() % 2);
            frames.append(frameFrom(in, multiLine.back()));
        }
        Receiver onePerDelivery;
        for (const QString& f : frames)
            onePerDelivery.deliver(f, true);
        FUZZ_CHECK(onePerDelivery.decoded.size() == frames.size());

        // A multi-line frame has a quiet line before and after it.
        Receiver cut;
        QString burst;
        for (qsizetype i = 0; i < frames.size(); ++i) {
            burst += frames[i];
            const bool last = i + 1 == frames.size();
            if (!(last || multiLine[i] || multiLine[i + 1] || in.byte() % 2))
                continue;
            for (qsizetype at = 0; at < burst.size();) {
                const qsizetype n = 1 + in.byte();
                cut.deliver(burst.mid(at, n), at + n >= burst.size());
                at += n;
            }
            burst.clear();
        }
        FUZZ_CHECK(cut.decoded == onePerDelivery.decoded);
        return 0;
    }
    Receiver any;
    QString stream;
    while (!in.empty()) {
        const bool quietAfter = in.byte() % 4 == 0;
        const QString piece = cp1250::decode(in.piece());
        stream += piece;
        any.deliver(piece, quietAfter);
    }
    FUZZ_CHECK(any.decoded.size() <= stream.count(QStringLiteral("\r\n")));
    return 0;
}
