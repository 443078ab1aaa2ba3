#include "platform/localeconventions.h"

#include <clocale>
#include <ctime>
#include <langinfo.h>

namespace {

LocaleConventions& current() {
    static LocaleConventions c = LocaleConventions::czech();
    return c;
}

QString formatTm(const QByteArray& pattern, const std::tm& tm) {
    if (pattern.isEmpty())
        return {};
    char buf[256];
    const size_t n = std::strftime(buf, sizeof buf, pattern.constData(), &tm);
    return QString::fromLocal8Bit(buf, qsizetype(n));
}

} // namespace

QString LocaleConventions::formatDate(const QDate& date) const {
    std::tm tm{};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    tm.tm_wday = date.dayOfWeek() % 7;
    tm.tm_yday = date.dayOfYear() - 1;
    return formatTm(dateFormat, tm);
}

QString LocaleConventions::formatTime(const QTime& time) const {
    std::tm tm{};
    tm.tm_hour = time.hour();
    tm.tm_min = time.minute();
    tm.tm_sec = time.second();
    tm.tm_mday = 1;
    return formatTm(timeFormat, tm);
}

QString LocaleConventions::toUpper(const QString& text) const {
    return language.toUpper(text);
}

LocaleConventions LocaleConventions::czech() {
    return LocaleConventions{};
}

LocaleConventions LocaleConventions::fromSystem() {
    LocaleConventions c;
    c.dateFormat = nl_langinfo(D_FMT);
    c.timeFormat = nl_langinfo(T_FMT);
    if (const std::lconv* lc = std::localeconv(); lc && lc->decimal_point && *lc->decimal_point)
        c.decimalSeparator = QLatin1Char(lc->decimal_point[0]);
    else
        c.decimalSeparator = QLatin1Char('.');
    c.language = QLocale::system();
    return c;
}

const LocaleConventions& conventions() {
    return current();
}

void setConventions(const LocaleConventions& conventions) {
    current() = conventions;
}
