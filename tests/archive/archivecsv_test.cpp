#include "archive/archivecsv.h"
#include "platform/codepage.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

// A strict reader of RFC 4180 with ";" between fields: every record ends in
// CR LF; a field is either bare (no ";", quote, CR or LF) or in quotes with
// its quotes doubled. False for anything else, so a writer that forgets a
// quote or a doubling is caught rather than read generously.
bool readCsv(const QString& text, std::vector<QStringList>& records) {
    static const QRegularExpression field(uR"re((?:"((?:[^"]|"")*)"|([^;"\r\n]*))(;|\r\n))re"_qs);
    QStringList record;
    for (qsizetype i = 0; i < text.size();) {
        const QRegularExpressionMatch m =
            field.match(text, i, QRegularExpression::NormalMatch,
                        QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch())
            return false;
        record.append(m.hasCaptured(1) ? m.captured(1).replace(u"\"\""_qs, u"\""_qs)
                                       : m.captured(2));
        if (m.captured(3) == u"\r\n")
            records.push_back(std::exchange(record, {}));
        i = m.capturedEnd();
    }
    return record.isEmpty();
}

// What a spreadsheet should see of the table: each row but the trailing
// empty one, each cell without the blanks and tabs at its ends.
std::vector<QStringList> expectedRecords(const ArchiveTable& table) {
    static const QRegularExpression padding(u"^[ \t]+|[ \t]+\\z"_qs);
    std::vector<QStringList> records(size_t(table.lastRow()));
    for (int r = 0; r < table.lastRow(); ++r)
        for (int c = 0; c < ArchiveTable::kColumns; ++c)
            records[size_t(r)].append(table.cellText(r, c).remove(padding));
    return records;
}

std::vector<QStringList> readBack(const ArchiveTable& table) {
    const QByteArray csv = archiveCsv(table);
    EXPECT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    const QString text = utf8(csv.mid(3));
    EXPECT_FALSE(utf8.hasError());
    std::vector<QStringList> records;
    EXPECT_TRUE(readCsv(text, records)) << csv.toStdString();
    return records;
}

TEST(ArchiveCsv, AwkwardCellsComeBackThroughACsvReader) {
    ArchiveTable table;
    const QString lines[] = {
        u"Poř.číslo  \t\tPopis          \t\t   Hmotnost"_qs,
        u"1          \t\tštěrk; písek   \t\t   12,500 kg"_qs,
        u"2          \t\t\"Novák\" a syn \t\t    -0,5 kg"_qs,
        u"3 \t\t     ŽLUŤOUČKÝ kůň \t\t \t\t  \"\" ; "_qs,
        u"€ a řádek\r\nzalomený\t\t\t\t\t\tkonec"_qs, // a break only a table could hold
        QString(),
    };
    for (const QString& line : lines)
        ASSERT_TRUE(table.appendLine(cp1250::encode(line)));
    const std::vector<QStringList> expected = expectedRecords(table);
    EXPECT_EQ(expected[1], (QStringList{u"1"_qs, u"štěrk; písek"_qs, u"12,500 kg"_qs, {}}));
    EXPECT_EQ(readBack(table), expected);
    // A field is quoted only where it must be.
    EXPECT_TRUE(archiveCsv(table).contains("\r\n2;\"\"\"Nov\xC3\xA1k\"\" a syn\";-0,5 kg;\r\n"));

    // Generated rows of the same kind of characters, padding and breaks.
    const QString alphabet = u"aAčŘž ;\"\t,.-\r\n€"_qs;
    std::mt19937 rng(7);
    for (int r = 0; r < 3000; ++r) {
        QString line;
        for (int length = int(rng() % 40); length > 0; --length)
            line += alphabet[qsizetype(rng() % alphabet.size())];
        ASSERT_TRUE(table.appendLine(cp1250::encode(line)));
    }
    EXPECT_EQ(readBack(table), expectedRecords(table));
}

} // namespace
