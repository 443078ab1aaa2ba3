#include "archive/archivetable.h"
#include "fuzz/fuzzinput.h"

// Any day file reads as rows whose cells hold no line break and no field
// separator, and a range of days reads as its days one after the other: the
// same bytes read as two files cut after a line break give the same rows.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const qsizetype cut = in.byte();
    const QByteArray bytes = in.rest();

    ArchiveTable whole;
    FUZZ_CHECK(appendArchiveFile(whole, bytes));
    for (int r = 0; r < whole.rowCount(); ++r)
        for (int c = 0; c < ArchiveTable::kColumns; ++c) {
            const QByteArrayView cell = whole.cell(r, c);
            FUZZ_CHECK(!cell.contains('\r') && !cell.contains('\n'));
            FUZZ_CHECK(QByteArray(cell.data(), cell.size()).indexOf("\t\t") < 0);
        }

    const qsizetype lineEnd = bytes.indexOf('\n', std::min(cut, bytes.size()));
    if (lineEnd < 0)
        return 0;
    ArchiveTable parts;
    FUZZ_CHECK(appendArchiveFile(parts, QByteArrayView(bytes).first(lineEnd + 1)));
    FUZZ_CHECK(appendArchiveFile(parts, QByteArrayView(bytes).sliced(lineEnd + 1)));
    FUZZ_CHECK(parts.rowCount() == whole.rowCount());
    for (int r = 0; r < whole.rowCount(); ++r)
        for (int c = 0; c < ArchiveTable::kColumns; ++c)
            FUZZ_CHECK(parts.cell(r, c) == whole.cell(r, c));
    return 0;
}
