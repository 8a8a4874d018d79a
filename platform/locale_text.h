#pragma once

#include <string>

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include "core/date_text.h"
#include "core/moment.h"

namespace varnelo {

// The user's short date-and-time format, made safe to read back.
DateTextFormat DeletedTextFormat(const QLocale& locale = QLocale());

// The locale's thousands separator as UTF-8.
std::string GroupSeparator(const QLocale& locale = QLocale());

Day ToDay(QDate date);
QDate ToQDate(Day day);
Day Today();
// The wall-clock reading of a date-time in its own time zone.
Moment ToMoment(const QDateTime& dateTime);

}  // namespace varnelo
