#include "fuzz/fuzzinput.h"
#include "ticket/ticketgrid.h"
#include "ticket/unprintedrows.h"

namespace {

bool sameCells(const TicketGrid& a, const TicketGrid& b) {
    if (a.rowCount() != b.rowCount() || a.columnCount() != b.columnCount())
        return false;
    for (int c = 0; c < a.columnCount(); ++c)
        for (int r = 0; r < a.rowCount(); ++r)
            if (a.cell(c, r) != b.cell(c, r))
                return false;
    return true;
}

// Loads a file; false when it is damaged. A weight that is no number still
// loads every row.
bool load(const QByteArray& bytes, TicketGrid& grid) {
    const QString path = fuzzFile("neulozeno.tmp");
    writeFile(path, bytes);
    try {
        loadUnprintedRows(path, grid);
    } catch (const UnprintedRowsWeightError&) {
    } catch (const UnprintedRowsReadError&) {
        return false;
    }
    return true;
}

} // namespace

// Any file leaves a consistent grid; a file that loads writes back as a file
// that loads into the same cells and writes back byte for byte the same.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    TicketGrid grid;
    const bool loaded = load(bytes, grid);
    FUZZ_CHECK(grid.columnCount() == 4 && grid.rowCount() >= 2);
    FUZZ_CHECK(grid.weighingCount == grid.rowCount() - 2);
    if (!loaded)
        return 0;
    const QByteArray written = encodeUnprintedRows(grid);
    TicketGrid again;
    FUZZ_CHECK(load(written, again));
    FUZZ_CHECK(sameCells(grid, again));
    FUZZ_CHECK(encodeUnprintedRows(again) == written);
    return 0;
}
