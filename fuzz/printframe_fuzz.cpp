#include "fuzz/fuzzinput.h"
#include "link/printframe.h"
#include "platform/codepage.h"

#include <QStringList>

namespace {

QStringList decodeAll(const QList<QString>& deliveries, QString& buffer) {
    QStringList out;
    const QString unit = QStringLiteral("kg");
    for (const QString& d : deliveries) {
        buffer += d;
        for (const PrintFrame& f : takePrintFrames(buffer, unit, QLatin1Char(',')))
            out.append(QString::number(int(f.kind)) + f.sequence + QLatin1Char('|') + f.weight);
        FUZZ_CHECK(buffer.size() < kLongestPrintFrame);
    }
    return out;
}

// One-line frames built from the input: a kind, a length and the text,
// with line feeds taken out so that only the frame's own CR LF ends it.
QString frameFrom(FuzzInput& in) {
    static const int lengths[] = {18, 20, 22, 24, 26, 71, 73, 75, 77, 79};
    const int length = lengths[in.byte() % 10];
    QString body = cp1250::decode(in.take(length - 2)).replace(QLatin1Char('\n'), QLatin1Char(' '));
    body += QString(length - 2 - body.size(), QLatin1Char(' '));
    return body + QStringLiteral("\r\n");
}

} // namespace

// Any stream, cut anywhere: the decoder never keeps more than a frame and
// makes no more frames than
// the stream has line ends. A stream of one-line frames decodes the same
// whatever the delivery boundaries.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const bool framed = in.byte() % 2;
    QList<QString> deliveries;
    QString stream;
    if (framed) {
        QList<QString> frames;
        for (int n = in.byte() % 8; n > 0 && !in.empty(); --n)
            frames.append(frameFrom(in));
        stream = frames.join(QString());
        QString buffer;
        const QStringList expected = decodeAll(frames, buffer);
        FUZZ_CHECK(expected.size() == frames.size() && buffer.isEmpty());
        for (qsizetype at = 0; at < stream.size();) {
            const qsizetype n = 1 + in.byte();
            deliveries.append(stream.mid(at, n));
            at += n;
        }
        QString cutBuffer;
        FUZZ_CHECK(decodeAll(deliveries, cutBuffer) == expected);
        return 0;
    }
    while (!in.empty())
        deliveries.append(cp1250::decode(in.piece()));
    stream = deliveries.join(QString());
    QString buffer;
    const QStringList all = decodeAll(deliveries, buffer);
    FUZZ_CHECK(all.size() <= stream.count(QStringLiteral("\r\n")));
    return 0;
}
