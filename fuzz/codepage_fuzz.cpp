#include "fuzz/fuzzinput.h"
#include "platform/codepage.h"

// Every byte comes back unchanged through text, and text the code page can
// hold comes back unchanged through bytes; anything else becomes "?".
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = cp1250::decode(bytes);
    FUZZ_CHECK(text.size() == bytes.size());
    FUZZ_CHECK(cp1250::encode(text) == bytes);

    // The same bytes read as UTF-16 text: every character the code page
    // holds is kept, any other (a pair of surrogates is one) becomes "?".
    static const QString held = [] {
        QString all;
        for (int b = 0; b < 256; ++b)
            all += QChar(cp1250::toUnicode(uint8_t(b)));
        return all;
    }();
    const QString wide(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    QString expected;
    for (qsizetype i = 0; i < wide.size(); ++i) {
        const bool pair =
            wide[i].isHighSurrogate() && i + 1 < wide.size() && wide[i + 1].isLowSurrogate();
        expected += !pair && held.contains(wide[i]) ? wide[i] : QLatin1Char('?');
        i += pair;
    }
    FUZZ_CHECK(cp1250::decode(cp1250::encode(wide)) == expected);
    return 0;
}
