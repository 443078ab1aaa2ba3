#include "archive/archiveseal.h"
#include "fuzz/fuzzinput.h"

// Any seal file reads without harm, and each line it reads writes back as a
// line that reads the same. A day sealed at lengths the input chooses, with
// its bytes from before sealing left out, holds against its seals; with one
// sealed byte changed it does not, and the change is named at or before it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const QByteArray seals = in.piece();
    const SealFile read = readSealFile(seals);
    for (const SealLine& line : read.lines) {
        const QByteArray text = encodeSealLine(line);
        const std::optional<SealLine> back = decodeSealLine(QByteArrayView(text).chopped(2));
        FUZZ_CHECK(back && encodeSealLine(*back) == text);
    }
    (void)checkSeals(in.piece(), read);

    const qsizetype start = in.byte();
    const int cuts = in.byte() % 8;
    const QByteArray day = in.rest();
    if (start > day.size())
        return 0;
    SealFile file;
    SealHasher hasher;
    qsizetype at = start;
    for (int i = 0; i < cuts && at < day.size(); ++i) {
        const qsizetype end = std::min(day.size(), at + 1 + qsizetype(uchar(day.at(at)) % 64));
        hasher.add(QByteArrayView(day).sliced(at, end - at));
        file.lines.push_back({start, end, hasher.digest(), QDate(2026, 12, 7), QTime(8, 0), "1"});
        at = end;
    }
    const SealCheck check = checkSeals(day, file);
    // Without a seal line sealing never began, and nothing is unsealed.
    FUZZ_CHECK(!check.changed && check.unsealedBytes == (file.lines.empty() ? 0 : day.size() - at));
    if (file.lines.empty())
        return 0;
    QByteArray changed = day;
    const qsizetype flip = start + (at - start) / 2;
    changed[flip] = char(changed[flip] ^ 0x20);
    const SealCheck found = checkSeals(changed, file);
    FUZZ_CHECK(found.changed && found.changedFrom <= flip && found.changed->end > flip);
    return 0;
}
