#include "settings/storedtext.h"

#include <gtest/gtest.h>

namespace {

struct StoredCase {
    const char* name;
    const char* stored;  // as in the settings file (UTF-8 here)
    const char* printed; // what the ticket gets
};

class StoredTextForPrinting : public testing::TestWithParam<StoredCase> {};

TEST_P(StoredTextForPrinting, Decodes) {
    const StoredCase& c = GetParam();
    EXPECT_EQ(decodeStoredTextForPrinting(QString::fromUtf8(c.stored)),
              QString::fromUtf8(c.printed));
}

INSTANTIATE_TEST_SUITE_P(HeaderAndFooter, StoredTextForPrinting,
                         testing::Values(
                             // what the settings dialog writes for the two lines A and B
                             StoredCase{"two_lines", ".A\\nB\\n", "A\r\nB\r\n"},
                             // the dot protects leading blanks; only one dot goes
                             StoredCase{"dot_keeps_blanks", ".  Váha č. 1", "  Váha č. 1"},
                             StoredCase{"two_dots_keep_one", "..x", ".x"},
                             StoredCase{"no_dot", "Firma s.r.o.", "Firma s.r.o."},
                             // a lone backslash is no line break
                             StoredCase{"lone_backslash", ".C:\\data", "C:\\data"},
                             StoredCase{"backslash_then_n_only", ".a\\\\nb", "a\\\r\nb"},
                             StoredCase{"empty", "", ""}),
                         [](const testing::TestParamInfo<StoredCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
