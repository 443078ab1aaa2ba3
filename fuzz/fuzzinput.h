#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <unistd.h>

// Takes a fuzzer's bytes apart: single choices from the front, pieces of a
// given length, the rest as a whole.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size)
        : m_bytes(reinterpret_cast<const char*>(data), qsizetype(size)) {}

    bool empty() const { return m_at >= m_bytes.size(); }
    uint8_t byte() { return empty() ? 0 : uint8_t(m_bytes[m_at++]); }
    // A piece whose length is given by the next byte (at most 255).
    QByteArray piece() { return take(byte()); }
    QByteArray take(qsizetype n) {
        const QByteArray part = m_bytes.mid(m_at, n);
        m_at += part.size();
        return part;
    }
    QByteArray rest() { return take(m_bytes.size()); }

private:
    QByteArray m_bytes;
    qsizetype m_at = 0;
};

// A file path in a folder of this process's own, on the first use.
inline QString fuzzFile(const char* name) {
    static const QString folder = [] {
        const QString dir = QDir::tempPath() + QStringLiteral("/weigh-fuzz-%1").arg(getpid());
        QDir().mkpath(dir);
        return dir;
    }();
    return folder + QLatin1Char('/') + QLatin1String(name);
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        std::abort();
}

// A property that does not hold is a finding: stop with the input saved.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__);      \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)
