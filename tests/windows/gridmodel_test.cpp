// The grid model announces the ticket's rows to the views: view row v is
// ticket row v + 1. Random sequences of weighings, resets and shrinking
// must keep every announcement consistent with what the model then reports.
#include "ticket/stringgrid.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

QStringList g_warnings;

void record(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_warnings << text;
}

TEST(TicketGridModel, RowMappingFollowsEveryChange) {
    int argc = 0;
    QCoreApplication app(argc, nullptr);
    const QtMessageHandler previous = qInstallMessageHandler(record);
    QRandomGenerator random(20261208);
    TicketGrid grid;
    TicketGridModel model(grid);
    QAbstractItemModelTester tester(&model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    int inserted = 0;
    int removed = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                     [&](auto, int first, int last) { inserted += last - first + 1; });
    QObject::connect(&model, &QAbstractItemModel::rowsRemoved,
                     [&](auto, int first, int last) { removed += last - first + 1; });
    for (int step = 0; step < 400; ++step) {
        const int before = grid.rowCount();
        switch (random.bounded(4)) {
        case 0:
        case 1:
            grid.addWeighing(QString::number(step), {}, QStringLiteral("1 kg"),
                             TicketGrid::TotalsWriter::Weighing, {}, QStringLiteral("kg"));
            break;
        case 2:
            grid.reset(TicketGrid::TotalsWriter::ResetAfterPrint, {}, QStringLiteral("kg"));
            break;
        default:
            grid.setRowCount(std::max(2, grid.rowCount() - int(random.bounded(5))));
            break;
        }
        model.sync(std::min(before, grid.rowCount()) - 1);
        ASSERT_EQ(model.rowCount(), grid.rowCount() - 1) << step;
        ASSERT_EQ(model.rowCount(), 1 + inserted - removed) << step;
        for (int v = 0; v < model.rowCount(); ++v)
            for (int c = 0; c < model.columnCount(); ++c)
                ASSERT_EQ(model.index(v, c).data().toString(), grid.cell(c, v + 1)) << step;
    }
    qInstallMessageHandler(previous);
    EXPECT_EQ(g_warnings, QStringList());
}

} // namespace
