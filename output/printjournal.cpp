#include "output/printjournal.h"

#include "platform/apperror.h"
#include "platform/codepage.h"
#include "platform/localeconventions.h"
#include "platform/wholefile.h"
#include "ticket/ticketgrid.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QList>

#include <sys/stat.h>
#include <utility>

namespace {

constexpr qsizetype kMaxStoredCell = 255; // what the unprinted-rows file keeps of a cell
const QByteArray kMagic = QByteArrayLiteral("VAZNILISTEK-TISK 1");

PrintPointHook& pointHook() {
    static PrintPointHook hook;
    return hook;
}

void reached(PrintPoint point) {
    if (pointHook())
        pointHook()(point);
}

const char* stageName(PrintRecord::Stage stage) {
    switch (stage) {
    case PrintRecord::Stage::NotSent:
        return "neodeslano";
    case PrintRecord::Stage::Sending:
        return "odesila";
    case PrintRecord::Stage::Sent:
        return "odeslano";
    }
    return "";
}

std::optional<PrintRecord::Stage> stageNamed(const QByteArray& name) {
    for (const auto stage :
         {PrintRecord::Stage::NotSent, PrintRecord::Stage::Sending, PrintRecord::Stage::Sent})
        if (name == stageName(stage))
            return stage;
    return std::nullopt;
}

bool toNumber(const QByteArray& text, qint64& value) {
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok;
}

// Device and inode numbers are unsigned and may use all 64 bits.
bool toNumber(const QByteArray& text, quint64& value) {
    bool ok = false;
    value = text.toULongLong(&ok);
    return ok;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

QByteArray ticketFingerprint(const TicketGrid& grid) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (int r = 1; r < grid.lastRow(); ++r) {
        for (int c = 0; c < grid.columnCount(); ++c) {
            const QByteArray bytes = cp1250::encode(grid.cell(c, r)).left(kMaxStoredCell);
            const char length = char(bytes.size());
            hash.addData(QByteArrayView(&length, 1));
            hash.addData(bytes);
        }
    }
    return hash.result().toHex();
}

FileStamp stampOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

QByteArray encodePrintRecord(const PrintRecord& r) {
    QByteArray out = kMagic + '\n';
    out += QByteArray("stav ") + stageName(r.stage) + '\n';
    out += "listek " + r.ticket + '\n';
    out += "vazeni " + QByteArray::number(r.weighings) + '\n';
    out += "cas " + r.when.toString(Qt::ISODateWithMs).toLatin1() + '\n';
    out += "soubor " + QByteArray::number(int(r.rowsFile.exists)) + ' ' +
           QByteArray::number(r.rowsFile.device) + ' ' + QByteArray::number(r.rowsFile.inode) +
           ' ' + QByteArray::number(r.rowsFile.size) + ' ' +
           QByteArray::number(r.rowsFile.modifiedNs) + '\n';
    out += "archivovano " + QByteArray::number(int(r.archived)) + '\n';
    auto appendLine = [&out](const char* key, const AppendRecord& a) {
        out += key + (' ' + a.file.toUtf8().toPercentEncoding()) + ' ' +
               QByteArray::number(a.lengthBefore) + ' ' + QByteArray::number(a.bytes.size()) + '\n';
    };
    if (r.append) {
        appendLine("archiv", r.append->day);
        if (r.append->seal)
            appendLine("pecet", *r.append->seal);
    }
    out += '\n';
    if (r.append) {
        out += r.append->day.bytes;
        if (r.append->seal)
            out += r.append->seal->bytes;
    }
    return out;
}

std::optional<PrintRecord> decodePrintRecord(const QByteArray& bytes) {
    const qsizetype end = bytes.indexOf("\n\n");
    if (end < 0)
        return std::nullopt;
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    const QByteArray body = bytes.mid(end + 2);
    if (lines.value(0) != kMagic)
        return std::nullopt;
    PrintRecord r;
    int seen = 0;
    // The appends' bytes follow the header in the order of their lines.
    qsizetype used = 0;
    auto appendRecord = [&body, &used](const QList<QByteArray>& f) -> std::optional<AppendRecord> {
        qint64 length = 0;
        qint64 size = 0;
        if (f.size() != 4 || !toNumber(f[2], length) || !toNumber(f[3], size) || length < 0 ||
            size < 0 || size > body.size() - used)
            return std::nullopt;
        AppendRecord a{QString::fromUtf8(QByteArray::fromPercentEncoding(f[1])), length,
                       body.mid(used, qsizetype(size))};
        used += qsizetype(size);
        return a;
    };
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split(' ');
        const QByteArray& key = f.value(0);
        qint64 n[3] = {};
        quint64 id[2] = {};
        if (key == "stav" && f.size() == 2) {
            const auto stage = stageNamed(f[1]);
            if (!stage)
                return std::nullopt;
            r.stage = *stage;
            seen |= 1;
        } else if (key == "listek" && f.size() == 2) {
            r.ticket = f[1];
            seen |= 2;
        } else if (key == "vazeni" && f.size() == 2 && toNumber(f[1], n[0])) {
            r.weighings = int(n[0]);
            seen |= 4;
        } else if (key == "cas" && f.size() == 2) {
            r.when = QDateTime::fromString(QString::fromLatin1(f[1]), Qt::ISODateWithMs);
            seen |= 8;
        } else if (key == "soubor" && f.size() == 6 && toNumber(f[1], n[0]) &&
                   toNumber(f[2], id[0]) && toNumber(f[3], id[1]) && toNumber(f[4], n[1]) &&
                   toNumber(f[5], n[2])) {
            r.rowsFile = {n[0] != 0, id[0], id[1], n[1], n[2]};
            seen |= 16;
        } else if (key == "archivovano" && f.size() == 2) {
            r.archived = f[1] == "1";
            seen |= 32;
        } else if (key == "archiv" && !r.append) {
            std::optional<AppendRecord> day = appendRecord(f);
            if (!day)
                return std::nullopt;
            r.append = ArchiveAppend{std::move(*day), std::nullopt};
        } else if (key == "pecet" && r.append && !r.append->seal) {
            r.append->seal = appendRecord(f);
            if (!r.append->seal)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (seen != 63 || used != body.size())
        return std::nullopt;
    return r;
}

StartPlan planStart(const PrintRecord& record, bool holds, bool empty) {
    StartPlan plan;
    plan.undoAppend = record.stage == PrintRecord::Stage::NotSent && record.append.has_value();
    if (!holds || empty)
        return plan;
    switch (record.stage) {
    case PrintRecord::Stage::NotSent:
        plan.archived = record.archived && !record.append;
        break;
    case PrintRecord::Stage::Sending:
        plan.ticket = StartPlan::Ticket::Ask;
        plan.archived = record.archived;
        break;
    case PrintRecord::Stage::Sent:
        plan.ticket = StartPlan::Ticket::StartEmpty;
        break;
    }
    return plan;
}

Question restoreQuestion(const PrintRecord& record) {
    const LocaleConventions& lc = conventions();
    const QString keep = QStringLiteral("Ponechat řádky");
    const QString startEmpty = QStringLiteral("Začít prázdný lístek");
    // "má N vážení" reads right for every N, where "s N vážení" does not.
    QString text = QStringLiteral("Program skončil během tisku lístku, který má %1 vážení "
                                  "(tisk začal %2 v %3).\n")
                       .arg(record.weighings)
                       .arg(lc.formatDate(record.when.date()), lc.formatTime(record.when.time()));
    text += record.archived ? QStringLiteral("Lístek je uložen v archivu a mohl se už vytisknout.")
                            : QStringLiteral("Lístek se mohl už vytisknout.");
    // The operator can tell what the program cannot: whether paper came out.
    text += QStringLiteral(" Podívejte se na tiskárnu: když lístek vyjel, zvolte „%1“.\n\n"
                           "Ponechat jeho řádky, nebo začít prázdný lístek?")
                .arg(startEmpty);
    if (record.archived)
        text += QStringLiteral(" Ponechané řádky se při dalším tisku do archivu znovu nezapíšou, "
                               "pokud lístek nezměníte.");
    return {text, keep, startEmpty};
}

PrintPointHook setPrintPointHook(PrintPointHook hook) {
    return std::exchange(pointHook(), std::move(hook));
}

PrintJournal::PrintJournal(QString path, QString rowsPath)
    : m_path(std::move(path)), m_rowsPath(std::move(rowsPath)) {}

bool PrintJournal::write(const PrintRecord& record) {
    if (m_path.isEmpty())
        return true;
    QString reason;
    if (!wholefile::replace(m_path, encodePrintRecord(record), reason)) {
        noteFailure(reason);
        return false;
    }
    m_disk = record;
    m_failing = false;
    return true;
}

bool PrintJournal::remove() {
    if (m_path.isEmpty())
        return true;
    QString reason;
    if (!wholefile::remove(m_path, reason)) {
        noteFailure(reason);
        return false;
    }
    m_disk.reset();
    return true;
}

void PrintJournal::noteFailure(const QString& reason) {
    if (m_failing)
        return;
    m_failing = true;
    m_untold = QStringLiteral("Záznam o tisku %1 nelze zapsat: %2\nSkončí-li program uprostřed "
                              "tisku, příští spuštění nepozná, zda se lístek vytiskl.")
                   .arg(native(m_path), reason);
}

QString PrintJournal::takeFailure() {
    return std::exchange(m_untold, QString());
}

void PrintJournal::tellUndo(const ArchiveAppend& append, const ArchiveUndo& undo) {
    // `torn`: what is left when others wrote after it; `ofPart`: what was
    // being written, after "zápisem".
    auto tell = [](const AppendRecord& record, const UndoResult& result, const QString& torn,
                   const QString& ofPart) {
        if (result.found == AppendFound::PartAndMore)
            showError(torn.arg(native(record.file)).arg(record.lengthBefore));
        else if (!result.failure.isEmpty())
            showError(QStringLiteral("Soubor archivu %1 končí nedokončeným zápisem %2 (od "
                                     "bajtu %3), který se nepodařilo odříznout: %4")
                          .arg(native(record.file), ofPart)
                          .arg(record.lengthBefore)
                          .arg(result.failure));
    };
    tell(append.day, undo.day,
         QStringLiteral("Soubor archivu %1 obsahuje od bajtu %2 neúplný lístek, za kterým jsou "
                        "data jiného programu; soubor zůstal, jak byl."),
         QStringLiteral("lístku"));
    if (append.seal)
        tell(*append.seal, undo.seal,
             QStringLiteral("Soubor archivu %1 obsahuje od bajtu %2 neúplnou pečeť, za kterou "
                            "jsou data jiného programu; soubor zůstal, jak byl."),
             QStringLiteral("pečeti"));
}

void PrintJournal::settlePending() {
    const ArchiveUndo undo = undoArchiveAppend(*m_pending);
    tellUndo(*m_pending, undo);
    // Told once: the line end the next append writes first keeps its ticket
    // apart even when the rest stays.
    m_pending.reset();
}

void PrintJournal::begin(const QByteArray& ticket, int weighings, const QDateTime& when,
                         bool archived) {
    reached(PrintPoint::Begun);
    if (m_pending)
        settlePending();
    m_current = PrintRecord{PrintRecord::Stage::NotSent,
                            ticket,
                            stampOf(m_rowsPath),
                            when,
                            weighings,
                            archived,
                            std::nullopt};
    m_active = true;
    m_sent = false;
}

void PrintJournal::appending(const ArchiveAppend& append) {
    if (!m_active)
        return;
    m_current.append = append;
    m_current.archived = false;
    write(m_current);
    reached(PrintPoint::Recorded);
}

void PrintJournal::appended() {
    if (!m_active)
        return;
    m_current.archived = true;
    reached(PrintPoint::Appended);
}

void PrintJournal::appendFailed() {
    if (!m_active || !m_current.append)
        return;
    if (undoArchiveAppend(*m_current.append).gone())
        m_current.append.reset();
}

void PrintJournal::jobStarting() {
    if (!m_active)
        return;
    PrintRecord record = m_current;
    record.stage = m_sent ? PrintRecord::Stage::Sent : PrintRecord::Stage::Sending;
    record.append.reset(); // once a job may be out, the archive keeps the ticket
    if (!write(record)) {
        // An older record must not outlive a job that may print: it would
        // bring the ticket back unasked, or cut it out of the archive.
        const bool wouldCut = m_disk && m_disk->append;
        if (!remove() && wouldCut)
            throw AppError(QStringLiteral("Záznam o tisku %1 nelze zapsat ani smazat, takže by "
                                          "příští spuštění vyřízlo vytištěný lístek z archivu. "
                                          "Lístek se proto netiskne.")
                               .arg(native(m_path)));
    }
    m_current = record;
    reached(PrintPoint::JobStarting);
}

void PrintJournal::jobFinished(bool taken) {
    if (!m_active)
        return;
    if (taken || m_sent) {
        m_sent = true;
        m_current.stage = PrintRecord::Stage::Sent;
        write(m_current); // failing that, the record still says "may have been printed"
        reached(PrintPoint::JobTaken);
        return;
    }
    m_current.stage = PrintRecord::Stage::NotSent;
    if (m_current.archived)
        write(m_current);
    else
        remove();
}

void PrintJournal::printFailed() {
    if (!m_active)
        return;
    m_active = false;
    if (m_sent) {
        // A job was taken, yet the ticket stays on screen: the next start
        // must ask rather than drop it.
        m_current.stage = PrintRecord::Stage::Sending;
        write(m_current);
        return;
    }
    m_current.stage = PrintRecord::Stage::NotSent;
    // A failed print keeps its ticket in the archive; only an append that
    // failed itself, and could not be cut back, is left to undo.
    if (m_current.archived)
        m_current.append.reset();
    if (m_current.append) {
        m_pending = m_current.append;
        write(m_current);
    } else if (m_current.archived) {
        write(m_current);
    } else {
        remove();
    }
}

void PrintJournal::finish() {
    reached(PrintPoint::Settled);
    remove();
    m_active = false;
    m_sent = false;
}

QString PrintJournal::strandedTicketText(const QString& reason) const {
    QString text = QStringLiteral("Vytištěný lístek zůstal v souboru nevytištěných řádků %1: "
                                  "soubor nelze přepsat ani smazat (%2).\n")
                       .arg(native(m_rowsPath), reason);
    const auto stage = m_disk ? std::optional(m_disk->stage) : std::nullopt;
    if (stage == PrintRecord::Stage::Sent)
        return text + QStringLiteral("Při příštím spuštění se nevrátí: záznam o tisku ví, že byl "
                                     "vytištěn.");
    if (stage == PrintRecord::Stage::Sending)
        return text + QStringLiteral("Při příštím spuštění se program zeptá, zda jeho řádky "
                                     "ponechat: lístek byl vytištěn, zvolte „Začít prázdný "
                                     "lístek“.");
    return text + QStringLiteral("Při příštím spuštění se znovu objeví jako nevytištěný, "
                                 "přestože už byl vytištěn.");
}

PrintJournal::Start PrintJournal::recover(const TicketGrid& loaded, const FileStamp& rowsFile,
                                          bool restoring) {
    Start start;
    if (m_path.isEmpty() || !QFile::exists(m_path))
        return start;
    QByteArray bytes;
    QString reason;
    if (!wholefile::read(m_path, bytes, reason)) {
        showError(QStringLiteral("Záznam o posledním tisku %1 nelze přečíst: %2")
                      .arg(native(m_path), reason));
        return start;
    }
    const std::optional<PrintRecord> record = decodePrintRecord(bytes);
    if (!record) {
        showError(QStringLiteral("Záznam o posledním tisku %1 je poškozený a nepoužije se; "
                                 "lístek se obnoví, jako by se netiskl.")
                      .arg(native(m_path)));
        remove();
        return start;
    }
    m_disk = record;
    start.record = *record;
    const bool holds =
        restoring && (rowsFile == record->rowsFile || ticketFingerprint(loaded) == record->ticket);
    start.plan = planStart(*record, holds, loaded.bodyRowCount() == 0);
    if (start.plan.undoAppend) {
        const ArchiveUndo undo = undoArchiveAppend(*record->append);
        tellUndo(*record->append, undo);
        // Someone else wrote after the whole ticket: it stays archived.
        start.plan.archived = holds && undo.day.found == AppendFound::WholeAndMore;
        if (!undo.day.failure.isEmpty() || !undo.seal.failure.isEmpty()) {
            m_pending = record->append; // the next append tries again
            return start;
        }
    }
    if (start.plan.archived)
        start.archivedTicket = record->ticket;
    switch (start.plan.ticket) {
    case StartPlan::Ticket::Restore: {
        PrintRecord kept = *record;
        kept.archived = start.plan.archived;
        keep(kept);
        break;
    }
    case StartPlan::Ticket::Ask:
    case StartPlan::Ticket::StartEmpty:
        break; // decided by the operator, or by the emptied ticket reaching the disk
    }
    return start;
}

void PrintJournal::keep(PrintRecord record) {
    record.stage = PrintRecord::Stage::NotSent;
    record.append.reset();
    if (!record.archived)
        remove(); // nothing left to remember of that print
    else if (!m_disk || encodePrintRecord(record) != encodePrintRecord(*m_disk))
        write(record);
}
