#include "platform/locale_text.h"

namespace varnelo {

DateTextFormat DeletedTextFormat(const QLocale& locale) {
    return MakeDateTextFormat(locale.dateTimeFormat(QLocale::ShortFormat).toStdString(),
                              locale.amText().toStdString(), locale.pmText().toStdString());
}

std::string GroupSeparator(const QLocale& locale) { return locale.groupSeparator().toStdString(); }

Day ToDay(QDate date) {
    using namespace std::chrono;
    return local_days{year{date.year()} / month{static_cast<unsigned>(date.month())} /
                      day{static_cast<unsigned>(date.day())}};
}

QDate ToQDate(Day d) {
    const std::chrono::year_month_day ymd{d};
    return QDate(int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()));
}

Day Today() { return ToDay(QDate::currentDate()); }

Moment ToMoment(const QDateTime& dateTime) {
    return ToDay(dateTime.date()) +
           std::chrono::seconds{dateTime.time().msecsSinceStartOfDay() / 1000};
}

}  // namespace varnelo
