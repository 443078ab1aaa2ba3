#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

// The system's regional conventions as tickets, archive files and totals use
// them: the short date and long time formats, the decimal separator and
// upper-casing by the language's rules. They come from the POSIX locale
// (D_FMT, T_FMT, LC_NUMERIC) rather than from QLocale, whose own Czech formats
// carry a two-digit year and a time-zone suffix that must not reach a ticket.
struct LocaleConventions {
    QByteArray dateFormat = "%-d.%-m.%Y"; // strftime pattern
    QByteArray timeFormat = "%H:%M:%S";   // strftime pattern
    QChar decimalSeparator = QLatin1Char(',');
    QLocale language = QLocale(QLocale::Czech, QLocale::Czechia);

    QString formatDate(const QDate& date) const;
    QString formatTime(const QTime& time) const;
    QString toUpper(const QString& text) const;

    // Fixed Czech conventions, for tests and benchmarks.
    static LocaleConventions czech();
    // The process's current C locale (setlocale must have run, which creating
    // a QCoreApplication does).
    static LocaleConventions fromSystem();
};

// The conventions the whole program uses. Until set they are the Czech ones.
const LocaleConventions& conventions();
void setConventions(const LocaleConventions& conventions);
