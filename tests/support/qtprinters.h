#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// Readable GoogleTest failure output for Qt strings. Bytes outside printable
// ASCII are shown as \xNN, so that a wrong Windows-1250 byte or a stray CR is
// visible in the message.
inline void PrintTo(const QByteArray& bytes, std::ostream* os) {
    static const char hex[] = "0123456789ABCDEF";
    *os << '"';
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '\\' && u != '"') {
            *os << c;
        } else {
            *os << "\\x" << hex[u >> 4] << hex[u & 0xF];
        }
    }
    *os << '"';
}

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
