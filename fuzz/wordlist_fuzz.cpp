#include "fuzz/fuzzinput.h"
#include "ticket/wordlist.h"

// Any word file reads as entries that write and read back unchanged; words
// learned one by one are found afterwards, each once, in sorted order.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzzFile("popis.dat");
    writeFile(path, QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    const QStringList words = readWordListFile(path);
    writeWordListFile(path, words);
    FUZZ_CHECK(readWordListFile(path) == words);

    QStringList learned;
    for (const QString& w : words.mid(0, 24)) {
        if (w.contains(QLatin1Char('\r')) || w.contains(QLatin1Char('\n')))
            continue;
        const bool known = findWord(learned, w) >= 0;
        FUZZ_CHECK(learnWord(learned, w) == (!known && !w.isEmpty()));
        FUZZ_CHECK(w.isEmpty() || findWord(learned, w) >= 0);
    }
    for (qsizetype i = 0; i < learned.size(); ++i) {
        FUZZ_CHECK(findWord(learned, learned[i]) == i);
        FUZZ_CHECK(sortedInsertPosition(learned, learned[i]) > i);
    }
    return 0;
}
