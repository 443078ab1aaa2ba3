#include "tools/indicator-sim/simulator.h"

#include <QStringList>

namespace indicator {

namespace {

bool toNumber(const QString& text, double& out) {
    bool ok = false;
    QString t = text;
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    out = t.toDouble(&ok);
    return ok;
}

// Leaves `out` alone unless the text is a number in range, so that a
// refused command changes nothing.
bool toInt(const QString& text, int& out, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        return false;
    out = value;
    return true;
}

// "\r" and "\n" typed literally stand for CR and LF.
QByteArray unescape(const QString& text) {
    QByteArray bytes = text.toLatin1();
    bytes.replace("\\r", "\r");
    bytes.replace("\\n", "\n");
    return bytes;
}

} // namespace

QString Simulator::help() {
    return QStringLiteral(
        "weight W          reading in units (e.g. weight 12.5, weight -0.35)\n"
        "stable | unstable | overload\n"
        "format N          live layout 0..3 (0 \"ST,GS,+  12.500kg\", 1 \"US,NT,-   0.35 kg\",\n"
        "                  2 \"ST,GS  12,50 kg\", 3 \"ST,GS,+0012.50kg\")\n"
        "unit U            unit name (kg, g, t, lb, PCS)\n"
        "split on|off      cut every live frame in two writes\n"
        "burst N           N live frames in one write\n"
        "period MS         time between live frames\n"
        "mode live|print   repeat readings, or send print frames on request\n"
        "item W            send an item frame for weight W\n"
        "total             send the total frame (three lines) and start a new ticket\n"
        "usb on|off|N [MS] pass everything on as a USB serial adapter does: in\n"
        "                  pieces of N characters (on: 15) every MS ms (16)\n"
        "send TEXT         send raw text (\\r and \\n allowed)\n"
        "silent            send no live frames until any command but wait or help\n"
        "wait MS           pause the script\n"
        "quit");
}

CommandResult Simulator::command(const QString& line) {
    CommandResult r;
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
        return r;
    const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
    const QString verb = trimmed.left(space < 0 ? trimmed.size() : space).toLower();
    const QString arg = space < 0 ? QString() : trimmed.mid(space + 1).trimmed();
    auto bad = [&](const QString& why) {
        r.error = verb + QStringLiteral(": ") + why;
        return r;
    };

    if (verb == QLatin1String("weight")) {
        double w = 0;
        if (!toNumber(arg, w))
            return bad(QStringLiteral("needs a number"));
        m_reading.weight = w;
    } else if (verb == QLatin1String("stable")) {
        m_reading.state = ScaleState::Stable;
    } else if (verb == QLatin1String("unstable")) {
        m_reading.state = ScaleState::Unstable;
    } else if (verb == QLatin1String("overload")) {
        m_reading.state = ScaleState::Overload;
    } else if (verb == QLatin1String("format")) {
        if (!toInt(arg, m_format, 0, kLiveFormats - 1))
            return bad(QStringLiteral("needs 0 to %1").arg(kLiveFormats - 1));
    } else if (verb == QLatin1String("unit")) {
        if (arg.isEmpty())
            return bad(QStringLiteral("needs a unit name"));
        m_reading.unit = arg;
    } else if (verb == QLatin1String("split")) {
        if (arg != QLatin1String("on") && arg != QLatin1String("off"))
            return bad(QStringLiteral("needs on or off"));
        m_split = arg == QLatin1String("on");
    } else if (verb == QLatin1String("burst")) {
        if (!toInt(arg, m_burst, 1, 100))
            return bad(QStringLiteral("needs 1 to 100"));
    } else if (verb == QLatin1String("period")) {
        if (!toInt(arg, m_periodMs, 10, 60000))
            return bad(QStringLiteral("needs 10 to 60000 ms"));
    } else if (verb == QLatin1String("mode")) {
        if (arg == QLatin1String("live"))
            m_mode = Mode::Live;
        else if (arg == QLatin1String("print"))
            m_mode = Mode::Print;
        else
            return bad(QStringLiteral("needs live or print"));
    } else if (verb == QLatin1String("item")) {
        double w = 0;
        if (!toNumber(arg, w))
            return bad(QStringLiteral("needs a number"));
        const QByteArray frame = itemFrame(m_items + 1, w, m_reading.unit);
        if (frame.isEmpty())
            return bad(QStringLiteral("does not fit an item frame"));
        ++m_items;
        m_sum += w;
        m_pending.append(frame);
    } else if (verb == QLatin1String("total")) {
        const QByteArray frame = totalFrame(m_items, m_sum, m_reading.unit);
        if (frame.isEmpty())
            return bad(QStringLiteral("does not fit a total frame"));
        m_pending.append(frame);
        m_items = 0;
        m_sum = 0.0;
    } else if (verb == QLatin1String("usb")) {
        const QStringList args = arg.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        int piece = m_usbPiece;
        int gap = m_usbGapMs;
        if (arg == QLatin1String("on"))
            piece = 15;
        else if (arg == QLatin1String("off"))
            piece = 0;
        else if (args.isEmpty() || args.size() > 2 || !toInt(args[0], piece, 1, 4096) ||
                 (args.size() == 2 && !toInt(args[1], gap, 0, 1000)))
            return bad(QStringLiteral("needs on, off, or 1 to 4096 characters and 0 to 1000 ms"));
        m_usbPiece = piece;
        m_usbGapMs = gap;
    } else if (verb == QLatin1String("send")) {
        m_pending.append(unescape(arg));
    } else if (verb == QLatin1String("wait")) {
        if (!toInt(arg, r.waitMs, 0, 3600000))
            return bad(QStringLiteral("needs milliseconds"));
    } else if (verb == QLatin1String("silent")) {
        m_silent = true;
    } else if (verb == QLatin1String("quit") || verb == QLatin1String("exit")) {
        r.quit = true;
    } else if (verb == QLatin1String("help")) {
        r.reply = help();
    } else {
        return bad(QStringLiteral("unknown command (try help)"));
    }
    // Any understood command but a pause or a question brings the line back.
    if (verb != QLatin1String("silent") && verb != QLatin1String("wait") &&
        verb != QLatin1String("help"))
        m_silent = false;
    return r;
}

QList<QByteArray> Simulator::livePeriod() const {
    if (m_silent)
        return {};
    const QByteArray frame = liveFrame(m_reading, m_format);
    if (m_split) {
        QList<QByteArray> writes;
        const qsizetype cut = frame.size() / 2;
        for (int i = 0; i < m_burst; ++i)
            writes << frame.left(cut) << frame.mid(cut);
        return writes;
    }
    return {frame.repeated(m_burst)};
}

QList<QByteArray> Simulator::usbPieces(const QByteArray& write) {
    if (m_usbPiece <= 0)
        return {write};
    QList<QByteArray> pieces;
    // Steps of 7 meet every first length from 1 to 15 in turn.
    qsizetype n = 1 + m_usbPhase % m_usbPiece;
    m_usbPhase += 7;
    for (qsizetype at = 0; at < write.size(); at += n, n = m_usbPiece)
        pieces.append(write.mid(at, n));
    return pieces;
}

QList<QByteArray> Simulator::takePending() {
    QList<QByteArray> out;
    out.swap(m_pending);
    return out;
}

} // namespace indicator
