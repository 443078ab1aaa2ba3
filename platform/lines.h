#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

// Where the lines of a text lie. A line ends at a CR, an LF or a CR LF, as
// the program's files and texts have them from Windows and from Linux alike;
// a last line without a break counts, and no empty line follows a final
// break. Works on bytes as read from a file and on decoded text.
struct LineSpan {
    qsizetype start = 0;
    qsizetype length = 0;      // without the break
    qsizetype breakLength = 0; // 2 for CR LF, 1 for CR or LF, 0 at the very end
};

namespace lines_detail {
inline char16_t codeAt(const QByteArray& text, qsizetype i) {
    return char16_t(uchar(text[i]));
}
inline char16_t codeAt(const QString& text, qsizetype i) {
    return text[i].unicode();
}
} // namespace lines_detail

// The lines of text[0, end); end -1 means the whole text.
template <class Text> std::vector<LineSpan> lineSpans(const Text& text, qsizetype end = -1) {
    using lines_detail::codeAt;
    if (end < 0 || end > text.size())
        end = text.size();
    std::vector<LineSpan> spans;
    qsizetype start = 0;
    for (qsizetype i = 0; i < end; ++i) {
        const char16_t c = codeAt(text, i);
        if (c != u'\r' && c != u'\n')
            continue;
        const qsizetype breakLength =
            (c == u'\r' && i + 1 < end && codeAt(text, i + 1) == u'\n') ? 2 : 1;
        spans.push_back({start, i - start, breakLength});
        i += breakLength - 1;
        start = i + 1;
    }
    if (start < end)
        spans.push_back({start, end - start, 0});
    return spans;
}
