#include "fuzz/fuzzinput.h"
#include "output/printjournal.h"

#include <cstring>

namespace {

quint64 number(FuzzInput& in) {
    const QByteArray bytes = in.take(8).leftJustified(8, '\0');
    quint64 n = 0;
    std::memcpy(&n, bytes.constData(), sizeof n);
    return n;
}

AppendRecord appendOf(FuzzInput& in) {
    const QString file = QString::fromUtf8(in.piece());
    const qint64 lengthBefore = qint64(number(in) & 0x7fff'ffff'ffff'ffff);
    return {file, lengthBefore, in.piece()};
}

// Every value a print can put into a record, chosen by the input.
PrintRecord recordOf(FuzzInput& in) {
    PrintRecord r;
    const uint8_t flags = in.byte();
    r.stage = PrintRecord::Stage(flags % 3);
    r.archived = flags & 4;
    r.ticket = in.piece().toHex();
    r.weighings = int(number(in));
    const QDate day(2000 + in.byte(), 1 + in.byte() % 12, 1 + in.byte() % 28);
    r.when = QDateTime(day, QTime::fromMSecsSinceStartOfDay(int(number(in) % 86'400'000)));
    r.rowsFile = {bool(flags & 8), number(in), number(in), qint64(number(in)), qint64(number(in))};
    if (flags & 16) {
        r.append = ArchiveAppend{appendOf(in), std::nullopt};
        if (flags & 32)
            r.append->seal = appendOf(in);
    }
    return r;
}

} // namespace

// Any journal file reads without harm, and a record read from one writes
// back as a file that reads as the same record. A record made of any values
// a print can give reads back from what is written of it, its stamps and the
// appends' bytes exactly.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<PrintRecord> read = decodePrintRecord(bytes)) {
        const QByteArray written = encodePrintRecord(*read);
        const std::optional<PrintRecord> again = decodePrintRecord(written);
        FUZZ_CHECK(again && encodePrintRecord(*again) == written);
    }

    FuzzInput in(data, size);
    const PrintRecord r = recordOf(in);
    const QByteArray written = encodePrintRecord(r);
    const std::optional<PrintRecord> back = decodePrintRecord(written);
    FUZZ_CHECK(back && encodePrintRecord(*back) == written);
    FUZZ_CHECK(back->stage == r.stage && back->rowsFile == r.rowsFile && back->when == r.when);
    FUZZ_CHECK(back->append.has_value() == r.append.has_value());
    if (r.append) {
        FUZZ_CHECK(back->append->day.bytes == r.append->day.bytes);
        FUZZ_CHECK(back->append->seal.has_value() == r.append->seal.has_value());
        FUZZ_CHECK(!r.append->seal || back->append->seal->bytes == r.append->seal->bytes);
    }
    return 0;
}
