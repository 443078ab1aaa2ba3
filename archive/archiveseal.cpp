#include "archive/archiveseal.h"

#include "platform/apperror.h"
#include "platform/paths.h"
#include "platform/uniquefd.h"
#include "platform/wholefile.h"

#include <QFile>

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kTag = QByteArrayLiteral("VLPEC1");
constexpr int kFields = 6;
constexpr qsizetype kPrintedLength = 19; // yyyy-MM-ddTHH:mm:ss

[[noreturn]] void noHashing() {
    throw AppError(
        QStringLiteral("Pečeť archivu nelze spočítat: knihovna OpenSSL nedává SHA-256."));
}

// A year's check reads some 15,000 seal lines of 64 hex digits each.
constexpr std::array<signed char, 256> kHexValues = [] {
    std::array<signed char, 256> values{};
    for (signed char& v : values)
        v = -1;
    for (int c = 0; c < 10; ++c)
        values[size_t('0' + c)] = static_cast<signed char>(c);
    for (int c = 0; c < 6; ++c) {
        values[size_t('a' + c)] = static_cast<signed char>(10 + c);
        values[size_t('A' + c)] = static_cast<signed char>(10 + c);
    }
    return values;
}();

int hexValue(char c) {
    return kHexValues[static_cast<unsigned char>(c)];
}

// Plain decimal digits only: no sign, no blanks, no more than fit.
bool toOffset(QByteArrayView text, qint64& value) {
    if (text.isEmpty() || text.size() > 15)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool toNumber(QByteArrayView text, int& value) {
    qint64 v = 0;
    if (!toOffset(text, v))
        return false;
    value = int(v);
    return true;
}

bool readPrinted(QByteArrayView text, QDate& date, QTime& time) {
    if (text.size() != kPrintedLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':')
        return false;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!toNumber(text.sliced(0, 4), y) || !toNumber(text.sliced(5, 2), mo) ||
        !toNumber(text.sliced(8, 2), d) || !toNumber(text.sliced(11, 2), h) ||
        !toNumber(text.sliced(14, 2), mi) || !toNumber(text.sliced(17, 2), s))
        return false;
    date = QDate(y, mo, d);
    time = QTime(h, mi, s);
    return date.isValid() && time.isValid();
}

bool isVersion(QByteArrayView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c > ' ' && c < 0x7F; });
}

enum class SealFileRead { None, Read, Failed };

// A year's load reads some 365 seal files of a few kilobytes: one open, one
// read and one close each, as far as the file allows.
SealFileRead readSeals(const QString& path, QByteArray& bytes, QString& reason) {
    const UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return SealFileRead::None;
        reason = wholefile::systemReason(errno);
        return SealFileRead::Failed;
    }
    char usual[16 * 1024]; // a day of a hundred tickets
    ssize_t n;
    do
        n = ::read(fd.get(), usual, sizeof usual);
    while (n < 0 && errno == EINTR);
    // A regular file gives all it holds up to the size asked for. Anything
    // else, or more, is read the general way, which also says what is wrong.
    if (n < 0 || size_t(n) == sizeof usual)
        return wholefile::read(path, bytes, reason) ? SealFileRead::Read : SealFileRead::Failed;
    bytes = QByteArray(usual, qsizetype(n));
    return SealFileRead::Read;
}

} // namespace

// ---- hashing ------------------------------------------------------------

struct SealHasher::Context {
    EVP_MD_CTX* running = nullptr;
    EVP_MD_CTX* scratch = nullptr;
    ~Context() {
        EVP_MD_CTX_free(running);
        EVP_MD_CTX_free(scratch);
    }
};

SealHasher::SealHasher() : m_context(std::make_unique<Context>()) {
    m_context->running = EVP_MD_CTX_new();
    m_context->scratch = EVP_MD_CTX_new();
    if (!m_context->running || !m_context->scratch ||
        EVP_DigestInit_ex(m_context->running, EVP_sha256(), nullptr) != 1)
        noHashing();
}

SealHasher::~SealHasher() = default;

void SealHasher::restart() {
    if (EVP_DigestInit_ex(m_context->running, EVP_sha256(), nullptr) != 1)
        noHashing();
}

void SealHasher::add(QByteArrayView bytes) {
    if (!bytes.isEmpty() &&
        EVP_DigestUpdate(m_context->running, bytes.data(), size_t(bytes.size())) != 1)
        noHashing();
}

SealDigest SealHasher::digest() const {
    // The running state goes on; the digest is taken from a copy of it.
    SealDigest digest{};
    unsigned int length = 0;
    if (EVP_MD_CTX_copy_ex(m_context->scratch, m_context->running) != 1 ||
        EVP_DigestFinal_ex(m_context->scratch, digest.data(), &length) != 1 ||
        length != digest.size())
        noHashing();
    return digest;
}

// ---- lines --------------------------------------------------------------

QByteArray encodeSealLine(const SealLine& line) {
    QByteArray out = kTag;
    out += ';' + QByteArray::number(line.start) + ';' + QByteArray::number(line.end) + ';';
    out +=
        QByteArray(reinterpret_cast<const char*>(line.digest.data()), qsizetype(line.digest.size()))
            .toHex();
    out += ';' + line.printedDate.toString(QStringLiteral("yyyy-MM-dd")).toLatin1() + 'T' +
           line.printedTime.toString(QStringLiteral("HH:mm:ss")).toLatin1();
    out += ';' + line.version + "\r\n";
    return out;
}

namespace {

// `version`: the version of the line before, shared when this one is the
// same, as it nearly always is.
std::optional<SealLine> decode(QByteArrayView text, const QByteArray* version) {
    if (text.isEmpty()) // its data() may be null, which memchr must not get
        return std::nullopt;
    std::array<QByteArrayView, kFields> f;
    int n = 0;
    const char* const end = text.data() + text.size();
    for (const char* p = text.data();; ++n) {
        if (n == kFields)
            return std::nullopt;
        const void* found = std::memchr(p, ';', size_t(end - p));
        const char* cut = found ? static_cast<const char*>(found) : end;
        f[size_t(n)] = QByteArrayView(p, cut - p);
        if (cut == end)
            break;
        p = cut + 1;
    }
    SealLine line;
    if (n != kFields - 1 || f[0] != kTag || !toOffset(f[1], line.start) ||
        !toOffset(f[2], line.end) || line.end < line.start ||
        f[3].size() != qsizetype(line.digest.size()) * 2 ||
        !readPrinted(f[4], line.printedDate, line.printedTime) || !isVersion(f[5]))
        return std::nullopt;
    for (size_t i = 0; i < line.digest.size(); ++i) {
        const int high = hexValue(f[3][qsizetype(2 * i)]);
        const int low = hexValue(f[3][qsizetype(2 * i + 1)]);
        if (high < 0 || low < 0)
            return std::nullopt;
        line.digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    line.version = version && *version == f[5] ? *version : f[5].toByteArray();
    return line;
}

} // namespace

std::optional<SealLine> decodeSealLine(QByteArrayView text) {
    return decode(text, nullptr);
}

SealFile readSealFile(QByteArrayView bytes) {
    SealFile file;
    file.lines.reserve(size_t(bytes.size() / 96 + 1)); // about the length of a line
    int number = 0;
    for (qsizetype from = 0; from < bytes.size();) {
        qsizetype end = bytes.indexOf('\n', from);
        const qsizetype next = end < 0 ? bytes.size() : end + 1;
        if (end < 0)
            end = bytes.size();
        if (end > from && bytes[end - 1] == '\r')
            --end;
        ++number;
        const QByteArray* version = file.lines.empty() ? nullptr : &file.lines.back().version;
        if (std::optional<SealLine> line = decode(bytes.sliced(from, end - from), version))
            file.lines.push_back(std::move(*line));
        else
            file.damaged.push_back(number);
        from = next;
    }
    return file;
}

const SealLine* runToContinue(const SealFile& seals, qint64 lengthBefore) {
    if (!seals.lines.empty() && seals.lines.back().end == lengthBefore)
        return &seals.lines.back();
    return nullptr;
}

// ---- checking -----------------------------------------------------------

namespace {

using Lines = std::vector<const SealLine*>;

// The run of lines [i, j) holds when its longest line does (every line that
// long, should there be more).
bool runHolds(QByteArrayView day, const Lines& order, size_t i, size_t j) {
    const qint64 start = order[i]->start;
    const qint64 end = order[j - 1]->end;
    if (end > day.size())
        return false;
    SealHasher hasher;
    hasher.add(day.sliced(start, end - start));
    const SealDigest digest = hasher.digest();
    for (size_t k = j; k > i && order[k - 1]->end == end; --k)
        if (order[k - 1]->digest != digest)
            return false;
    return true;
}

// Follows a run that does not hold line by line to its first line that
// fails; notes it when it changes the file earlier than any found before.
void firstChange(QByteArrayView day, const Lines& order, size_t i, size_t j, SealCheck& check) {
    SealHasher hasher;
    qint64 at = order[i]->start;
    qint64 own = at; // where the bytes of the line's own ticket begin
    for (size_t k = i; k < j; ++k) {
        const SealLine& line = *order[k];
        bool holds = line.end <= day.size();
        if (holds) {
            hasher.add(day.sliced(at, line.end - at));
            at = line.end;
            holds = hasher.digest() == line.digest;
        }
        if (!holds) {
            if (check.changedFrom < 0 || own < check.changedFrom) {
                check.changed = line;
                check.changedFrom = own;
            }
            return;
        }
        own = line.end;
    }
}

} // namespace

SealCheck checkSeals(QByteArrayView day, const SealFile& seals) {
    SealCheck check;
    check.damaged = seals.damaged;
    Lines order;
    order.reserve(seals.lines.size());
    for (const SealLine& line : seals.lines)
        order.push_back(&line);
    const auto earlier = [](const SealLine* a, const SealLine* b) {
        return a->start != b->start ? a->start < b->start : a->end < b->end;
    };
    // The writer leaves them in order; sorting would cost more than looking.
    if (!std::is_sorted(order.begin(), order.end(), earlier))
        std::stable_sort(order.begin(), order.end(), earlier);

    struct Run {
        qint64 start;
        qint64 end;
    };
    std::vector<Run> runs;
    const qint64 size = day.size();
    for (size_t i = 0; i < order.size();) {
        size_t j = i;
        while (j < order.size() && order[j]->start == order[i]->start)
            ++j;
        const qint64 start = order[i]->start;
        runs.push_back({start, order[j - 1]->end});
        // Runs come in order of their starts: one that starts at or after a
        // change already found cannot hold an earlier one.
        if ((check.changedFrom < 0 || start < check.changedFrom) && !runHolds(day, order, i, j))
            firstChange(day, order, i, j, check);
        i = j;
    }
    if (runs.empty())
        return check;

    // After a change nothing can be told about what follows it.
    const qint64 limit = check.changed ? check.changedFrom : size;
    qint64 covered = runs.front().start;
    auto gap = [&](qint64 from, qint64 to) {
        to = std::min(to, limit);
        if (from >= to)
            return;
        if (check.unsealedFrom < 0)
            check.unsealedFrom = from;
        check.unsealedBytes += to - from;
    };
    for (const Run& run : runs) {
        gap(covered, run.start);
        covered = std::max(covered, run.end);
    }
    gap(covered, limit);
    if (check.unsealedFrom >= 0)
        for (const SealLine& line : seals.lines)
            if (line.end == check.unsealedFrom)
                check.unsealedAfter = line;
    return check;
}

namespace {

// False when there is no seal file.
bool checkAgainstSealFile(DaySealReport& report, QByteArrayView bytes) {
    QByteArray sealBytes;
    switch (readSeals(report.sealFile, sealBytes, report.unreadable)) {
    case SealFileRead::None:
        return false;
    case SealFileRead::Failed:
        return true;
    case SealFileRead::Read:
        break;
    }
    try {
        report.check = checkSeals(bytes, readSealFile(sealBytes));
    } catch (const AppError& e) {
        report.unreadable = e.message();
    }
    return true;
}

} // namespace

std::optional<DaySealReport> checkArchiveDay(const QDate& day, QByteArrayView bytes,
                                             bool dayExists) {
    DaySealReport report;
    report.day = day;
    report.dayFile = paths::archiveFile(day);
    report.sealFile = paths::archiveSealFile(day);
    report.dayMissing = !dayExists;
    if (!checkAgainstSealFile(report, bytes))
        return std::nullopt;
    return report;
}
