#ifndef MODBUSTIMELABEL_P_H
#define MODBUSTIMELABEL_P_H

#include <QtCore/QDate>
#include <QtCore/QTime>

// Function 65 carries a time label as six calendar bytes. Labels count wall-clock
// seconds with no zone, so the conversion works on calendar fields only: a local
// QDateTime would shift labels that fall into a daylight-saving gap.
namespace ModbusTimeLabel {

constexpr qint64 epochJulianDay = 2440588; // 1970-01-01
constexpr quint32 invalidLabel = 0xFFFFFFFFu;

struct Fields
{
    int second, minute, hour, day, month, yearByte;
};

inline quint32 fromFields(const Fields &f)
{
    const int year = (f.yearByte >= 70 && f.yearByte <= 99) ? 1900 + f.yearByte : 2000 + f.yearByte;
    const QDate date(year, f.month, f.day);
    const QTime time(f.hour, f.minute, f.second);
    if (!date.isValid() || !time.isValid())
        return invalidLabel;
    const qint64 seconds = (date.toJulianDay() - epochJulianDay) * 86400
            + time.msecsSinceStartOfDay() / 1000;
    return seconds > qint64(invalidLabel) ? invalidLabel : quint32(seconds);
}

inline Fields toFields(quint32 label)
{
    const QDate date = QDate::fromJulianDay(epochJulianDay + label / 86400);
    const int secondOfDay = int(label % 86400);
    const int year = date.year();
    const int yearByte = (year >= 1970 && year <= 1999) ? year - 1900 : ((year - 2000) & 0xFF);
    return { secondOfDay % 60, secondOfDay / 60 % 60, secondOfDay / 3600,
             date.day(),       date.month(),           yearByte };
}

} // namespace ModbusTimeLabel

#endif // MODBUSTIMELABEL_P_H
