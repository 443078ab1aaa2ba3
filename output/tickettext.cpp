#include "output/tickettext.h"

#include "platform/lines.h"
#include "platform/localeconventions.h"

namespace {

constexpr int kSequenceWidth = 10;
constexpr int kTimeWidth = 8;
constexpr int kWeightWidth = 10;

const QString& fieldSeparator() {
    static const QString s = QStringLiteral("\t\t");
    return s;
}

int padding(const QString& text, int width) {
    const qsizetype n = text.size();
    return n <= width ? int(width - n + 1) : 0;
}

} // namespace

QString padRight(const QString& text, int width) {
    return text + QString(padding(text, width), QLatin1Char(' '));
}

QString padLeft(const QString& text, int width) {
    return QString(padding(text, width), QLatin1Char(' ')) + text;
}

QStringList splitTextBlock(const QString& text) {
    QStringList lines;
    const std::vector<LineSpan> spans = lineSpans(text);
    for (const LineSpan& span : spans)
        lines.append(text.mid(span.start, span.length));
    // A break at the very end leaves one empty line after the text.
    if (spans.empty() || spans.back().breakLength > 0)
        lines.append(QString());
    return lines;
}

QStringList buildTicketText(const TicketGrid& grid, const TicketLayoutOptions& options,
                            const QDateTime& now) {
    QStringList lines;
    if (!options.header.isEmpty())
        lines += splitTextBlock(options.header);

    // Raw widths, not "shown" flags: two hidden columns (-1 each) sum to -2,
    // while one shown and one hidden column can still sum to more than zero.
    const bool timeOrDescriptionWidth =
        grid.columnWidth(TicketGrid::Time) + grid.columnWidth(TicketGrid::Description) > 0;
    const bool timeShown = grid.isShown(TicketGrid::Time);
    const bool descriptionShown = grid.isShown(TicketGrid::Description);

    for (int row = 0; row < grid.rowCount(); ++row) {
        const bool totals = row == grid.lastRow();
        QString line;
        if (options.sequenceNumbers || (totals && timeOrDescriptionWidth))
            line +=
                padRight(grid.cell(TicketGrid::Sequence, row), kSequenceWidth) + fieldSeparator();
        if (timeShown)
            line += padRight(totals ? QString() : grid.cell(TicketGrid::Time, row), kTimeWidth) +
                    fieldSeparator();
        if (descriptionShown)
            line += padRight(totals ? QString() : grid.cell(TicketGrid::Description, row),
                             options.descriptionWidth) +
                    fieldSeparator();
        line += padLeft(grid.cell(TicketGrid::Weight, row), kWeightWidth);
        lines.append(line);
    }

    if (options.sequenceNumbers || timeOrDescriptionWidth) {
        const LocaleConventions& lc = conventions();
        lines.append(QStringLiteral("Dne: ") + lc.formatDate(now.date()) + QStringLiteral("  ") +
                     lc.formatTime(now.time()));
    }

    if (!options.footer.isEmpty())
        lines += splitTextBlock(options.footer);
    return lines;
}
