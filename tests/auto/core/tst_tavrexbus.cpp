#include <TavrexBus1/modbusbytes.h>
#include <TavrexBus1/tavrexbus.h>

#include <QtTest/QtTest>

using TB = TavrexBus;

namespace {

QDateTime at(int y, int m, int d, int h = 0, int min = 0, int s = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s));
}

} // namespace

class tst_TavrexBus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registerClassification_data()
    {
        QTest::addColumn<uint>("logical");
        QTest::addColumn<int>("absolute");
        QTest::addColumn<int>("addressType");
        QTest::addColumn<int>("registerType");

        const int blockEnd = 99999 % 65536;
        QTest::newRow("coil 100000") << 100000u << 0 << int(TB::Coils) << int(TB::HoldingRegister);
        QTest::newRow("discrete 100001") << 100001u << 0 << int(TB::DiscreteInputs) << int(TB::HoldingRegister);
        QTest::newRow("discrete 300000") << 300000u << blockEnd << int(TB::DiscreteInputs) << int(TB::InputRegister);
        QTest::newRow("input 300001") << 300001u << 0 << int(TB::InputRegisters) << int(TB::InputRegister);
        QTest::newRow("400000") << 400000u << blockEnd << int(TB::InputRegisters) << int(TB::HoldingRegister);
        QTest::newRow("holding 400001") << 400001u << 0 << int(TB::HoldingRegisters) << int(TB::HoldingRegister);
        QTest::newRow("holding max") << 465536u << 65535 << int(TB::HoldingRegisters) << int(TB::HoldingRegister);
        QTest::newRow("holding wraps") << 465537u << 0 << int(TB::HoldingRegisters) << int(TB::HoldingRegister);
        QTest::newRow("largest number") << 4294967295u << int((4294967295u - 400001u) & 0xFFFF)
                                        << int(TB::HoldingRegisters) << int(TB::HoldingRegister);
    }

    void registerClassification()
    {
        QFETCH(uint, logical);
        QFETCH(int, absolute);
        QFETCH(int, addressType);
        QFETCH(int, registerType);

        QCOMPARE(int(TB::logToAbs(logical)), absolute);
        QCOMPARE(int(TB::getAddressType(logical)), addressType);
        QCOMPARE(int(TB::getRegisterType(logical)), registerType);
        // Registers take two bytes, coils and discrete inputs one; inputs of either kind are read-only.
        const bool isRegister = addressType == TB::InputRegisters || addressType == TB::HoldingRegisters;
        QCOMPARE(TB::getBytesInAddress(logical), isRegister ? 2 : 1);
        QCOMPARE(TB::isReadOnly(logical), addressType == TB::DiscreteInputs || addressType == TB::InputRegisters);

        // A register number of the usual form comes back from its address.
        const bool usual = isRegister && logical <= 465536
                && (addressType == TB::InputRegisters) == (registerType == TB::InputRegister);
        if (usual) {
            const TB::FunctionCode read = TB::getReadRegFunctionCode(logical);
            QCOMPARE(read, registerType == TB::InputRegister ? TB::ReadInputRegisters : TB::ReadHoldingRegisters);
            QCOMPARE(TB::absToLog(ushort(absolute), read), logical);
            QCOMPARE(TB::absToLog(ushort(absolute), TB::RegisterType(registerType)), logical);
        }
    }

    // A span whose addresses would wrap past 16 bits is refused, naming the first number past the range.
    void registerRange_data()
    {
        QTest::addColumn<uint>("logical");
        QTest::addColumn<uint>("count");
        QTest::addColumn<QString>("error");
        const QString past = QStringLiteral("register %1 is out of the 16-bit address range");
        QTest::newRow("coils have no address") << 65537u << 1u << "";
        QTest::newRow("last input") << 365536u << 1u << "";
        QTest::newRow("input past") << 365537u << 1u << past.arg(365537);
        QTest::newRow("input block end") << 400000u << 1u << past.arg(400000);
        QTest::newRow("holding span to the end") << 465535u << 2u << "";
        QTest::newRow("holding span past the end") << 465535u << 3u << past.arg(465537);
        QTest::newRow("six digits") << 999999u << 1u << past.arg(999999);
        QTest::newRow("largest number") << 4294967295u << 4u << past.arg(4294967295u);
        QTest::newRow("discrete past") << 165537u << 1u << past.arg(165537);
    }

    void registerRange()
    {
        QFETCH(uint, logical);
        QFETCH(uint, count);
        QFETCH(QString, error);
        QString message;
        QCOMPARE(TB::checkRegisterRange(logical, count, &message), error.isEmpty());
        QCOMPARE(message, error);
    }

    void unknownValuesHaveAPlaceholderText()
    {
        // The texts come from tables; a value past a table must not read outside it.
        QCOMPARE(TB::functionCodeStr(TB::FunctionCode(99)), QStringLiteral("?"));
        QCOMPARE(TB::exceptionCodeStr(TB::ExceptionCode(7)), QStringLiteral("?"));
        QCOMPARE(TB::packetKindStr(TB::FilePacket), QStringLiteral("?"));
        QCOMPARE(TB::busTypeStr(TB::BusType(2)), QStringLiteral("?"));
        QCOMPARE(TB::modbusAddressTypeStr(TB::ModbusAddressType(4)), QStringLiteral("?"));
    }

    void labelSecondsRoundTrip_data()
    {
        QTest::addColumn<QDateTime>("label");
        QTest::addColumn<uint>("seconds");

        QTest::newRow("epoch") << at(1970, 1, 1) << 0u;
        QTest::newRow("leap day 2024") << at(2024, 2, 29, 12) << 1709208000u;
        QTest::newRow("last valid") << at(2069, 12, 31, 23, 59, 59) << 3155759999u;
        QTest::newRow("before 1970") << at(1969, 12, 31, 23, 59, 59) << 4294967295u;
        QTest::newRow("invalid") << QDateTime() << 4294967295u;
    }

    void labelSecondsRoundTrip()
    {
        QFETCH(QDateTime, label);
        QFETCH(uint, seconds);

        QCOMPARE(TB::archLabelToSeconds(label), seconds);
        if (seconds != TB::InvalidTimeLabel) {
            const QDateTime back = TB::archLabelToTime(seconds);
            QCOMPARE(back.timeSpec(), Qt::LocalTime);
            QCOMPARE(back.date(), label.date());
            QCOMPARE(back.time(), label.time());
        }
        // A UTC date-time carries the same wall-clock fields.
        if (label.isValid())
            QCOMPARE(TB::archLabelToSeconds(QDateTime(label.date(), label.time(), Qt::UTC)), seconds);
    }

    void labelsIgnoreDaylightSaving()
    {
        // Label fields must not move with the machine's zone or its DST changes.
        const QByteArray oldTz = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        const auto restore = qScopeGuard([&] {
            if (oldTz.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", oldTz);
            tzset();
        });

        // 2024-03-31 02:00 does not exist in Berlin; the label still counts hours.
        const uint before = TB::archLabelToSeconds(at(2024, 3, 31, 1));
        bool ok = false;
        QCOMPARE(TB::getNextTimeLabel(before, TB::Hour, &ok, 2), before + 7200);
        QVERIFY(ok);
        QCOMPARE(TB::archLabelToTime(before + 7200).time(), QTime(3, 0));
        // Stepping days over the autumn change keeps midnight.
        const QDateTime autumn = TB::getNextTimeLabel(at(2024, 10, 26), TB::Day, &ok, 2);
        QCOMPARE(autumn, at(2024, 10, 28));
        QCOMPARE(TB::archLabelToSeconds(autumn) - TB::archLabelToSeconds(at(2024, 10, 26)), 2u * 86400);
        QCOMPARE(TB::getLabelsBetween(at(2024, 3, 30), at(2024, 4, 1), TB::Hour), 49);
    }

    void stepping_data()
    {
        QTest::addColumn<QDateTime>("label");
        QTest::addColumn<int>("interval");
        QTest::addColumn<uint>("step");
        QTest::addColumn<QDateTime>("next");

        QTest::newRow("second") << at(2024, 12, 31, 23, 59, 59) << int(TB::Second) << 1u << at(2025, 1, 1);
        QTest::newRow("day over leap day") << at(2024, 2, 29) << int(TB::Day) << 1u << at(2024, 3, 1);
        QTest::newRow("week over year") << at(2024, 12, 30) << int(TB::Week) << 1u << at(2025, 1, 6);
        QTest::newRow("decade") << at(2024, 2, 21) << int(TB::Decade) << 1u << at(2024, 3, 2);
        QTest::newRow("month end clamps") << at(2024, 1, 31) << int(TB::Month) << 1u << at(2024, 2, 29);
        QTest::newRow("quarter") << at(2024, 11, 30) << int(TB::Quarter) << 1u << at(2025, 2, 28);
        QTest::newRow("year from leap day") << at(2024, 2, 29) << int(TB::Year) << 1u << at(2025, 2, 28);
        QTest::newRow("four years keep leap day") << at(2024, 2, 29) << int(TB::Year) << 4u << at(2028, 2, 29);
    }

    void stepping()
    {
        QFETCH(QDateTime, label);
        QFETCH(int, interval);
        QFETCH(uint, step);
        QFETCH(QDateTime, next);

        const auto archInterval = TB::ArchInterval(interval);
        bool ok = false;
        QCOMPARE(TB::getNextTimeLabel(label, archInterval, &ok, step), next);
        QVERIFY(ok);

        const uint seconds = TB::archLabelToSeconds(label);
        QCOMPARE(TB::getNextLabel(seconds, TB::TimeArch, archInterval, &ok, step), TB::archLabelToSeconds(next));
        // Stepping back from a label whose day exists in the earlier period returns.
        if (next.date().day() == label.date().day() || archInterval <= TB::Decade) {
            QCOMPARE(TB::getPrevTimeLabel(next, archInterval, &ok, step), label);
            QCOMPARE(TB::getNextLabel(TB::archLabelToSeconds(next), TB::TimeArch, archInterval, &ok, step,
                                      TB::Backward),
                     seconds);
        }
    }

    void steppingRangeLimits_data()
    {
        QTest::addColumn<QDateTime>("label");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("forward");
        QTest::addColumn<bool>("ok");

        QTest::newRow("last second") << at(2069, 12, 31, 23, 59, 59) << int(TB::Second) << true << false;
        QTest::newRow("second before last") << at(2069, 12, 31, 23, 59, 58) << int(TB::Second) << true << true;
        QTest::newRow("first back") << at(1970, 1, 1) << int(TB::Second) << false << false;
        QTest::newRow("year past 2069") << at(2069, 6, 1) << int(TB::Year) << true << false;
        QTest::newRow("month back into 1969") << at(1970, 1, 31) << int(TB::Month) << false << false;
    }

    void steppingRangeLimits()
    {
        QFETCH(QDateTime, label);
        QFETCH(int, interval);
        QFETCH(bool, forward);
        QFETCH(bool, ok);

        // Both overloads share one range check.
        const auto archInterval = TB::ArchInterval(interval);
        bool result = !ok;
        const uint seconds = TB::archLabelToSeconds(label);
        if (forward)
            TB::getNextTimeLabel(seconds, archInterval, &result);
        else
            TB::getPrevTimeLabel(seconds, archInterval, &result);
        QCOMPARE(result, ok);

        // A huge step stays defined and reports leaving the range.
        TB::getNextTimeLabel(seconds, archInterval, &result, 4294967295u);
        QVERIFY(!result);
        TB::getPrevTimeLabel(label, archInterval, &result, 4294967295u);
        QVERIFY(!result);
    }

    void unknownIntervalWarns()
    {
        const QDateTime label = at(2024, 5, 5, 5, 5, 5);
        bool ok = false;
        QTest::ignoreMessage(QtWarningMsg, "\"getNextLabel: unknown interval\"");
        QCOMPARE(TB::getNextTimeLabel(label, TB::ArchInterval(9), &ok), label);
        QVERIFY(ok);
        QTest::ignoreMessage(QtWarningMsg, "\"getNextLabel: unknown interval\"");
        QCOMPARE(TB::getLabelsBetween(label, label.addDays(1), TB::ArchInterval(-1)), 0);
    }

    void indexLabels_data()
    {
        QTest::addColumn<uint>("label");
        QTest::addColumn<uint>("step");
        QTest::addColumn<int>("direction");
        QTest::addColumn<uint>("result");
        QTest::addColumn<bool>("ok");

        QTest::newRow("forward to max") << 4294967294u << 1u << int(TB::Forward) << 4294967295u << true;
        QTest::newRow("forward past max") << 4294967295u << 1u << int(TB::Forward) << 0u << false;
        QTest::newRow("backward") << 10u << 10u << int(TB::Backward) << 0u << true;
        QTest::newRow("backward past 0") << 0u << 1u << int(TB::Backward) << 4294967295u << false;
    }

    void indexLabels()
    {
        QFETCH(uint, label);
        QFETCH(uint, step);
        QFETCH(int, direction);
        QFETCH(uint, result);
        QFETCH(bool, ok);

        bool actualOk = !ok;
        QCOMPARE(TB::getNextLabel(label, TB::IndexArch, TB::Day, &actualOk, step, TB::ArchDirection(direction)),
                 result);
        QCOMPARE(actualOk, ok);
        if (direction == TB::Backward) {
            actualOk = !ok;
            QCOMPARE(TB::getPrevLabel(label, TB::IndexArch, TB::Day, &actualOk, step), result);
            QCOMPARE(actualOk, ok);
        }
        // An unknown archive type leaves both label and ok alone.
        bool untouched = true;
        QCOMPARE(TB::getNextLabel(label, TB::ArchType(5), TB::Day, &untouched, step), label);
        QVERIFY(untouched);
    }

    void normalizing_data()
    {
        QTest::addColumn<QDateTime>("label");
        QTest::addColumn<int>("interval");
        QTest::addColumn<QDateTime>("normalized");

        const QDateTime label(QDate(2024, 8, 29), QTime(13, 45, 10, 250)); // a Thursday
        QTest::newRow("second") << label << int(TB::Second) << at(2024, 8, 29, 13, 45, 10);
        QTest::newRow("week over month") << at(2024, 9, 1, 5) << int(TB::Week) << at(2024, 8, 26);
        QTest::newRow("week on Monday") << at(2024, 8, 26, 5) << int(TB::Week) << at(2024, 8, 26);
        QTest::newRow("decade 21..31") << at(2024, 8, 31, 5) << int(TB::Decade) << at(2024, 8, 21);
        QTest::newRow("decade day 10") << at(2024, 8, 10) << int(TB::Decade) << at(2024, 8, 1);
        QTest::newRow("decade day 11") << at(2024, 8, 11, 1) << int(TB::Decade) << at(2024, 8, 11);
        QTest::newRow("month") << label << int(TB::Month) << at(2024, 8, 1);
        QTest::newRow("quarter") << label << int(TB::Quarter) << at(2024, 7, 1);
        QTest::newRow("year") << label << int(TB::Year) << at(2024, 1, 1);
    }

    void normalizing()
    {
        QFETCH(QDateTime, label);
        QFETCH(int, interval);
        QFETCH(QDateTime, normalized);

        const auto archInterval = TB::ArchInterval(interval);
        // The in-place overloads only assign these results.
        QCOMPARE(TB::normalizedArchLabel(label, archInterval), normalized);
        const uint seconds = TB::archLabelToSeconds(label);
        QCOMPARE(TB::normalizedArchLabel(seconds, TB::TimeArch, archInterval), TB::archLabelToSeconds(normalized));
        QCOMPARE(TB::normalizedArchLabel(seconds, TB::IndexArch, archInterval), seconds);
    }

    void labelsBetween_data()
    {
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("count");

        QTest::newRow("equal") << at(2024, 1, 1) << at(2024, 1, 1) << int(TB::Hour) << 1;
        QTest::newRow("reversed") << at(2024, 1, 2) << at(2024, 1, 1) << int(TB::Hour) << 0;
        QTest::newRow("partial step") << at(2024, 1, 1) << at(2024, 1, 1, 1, 59, 59) << int(TB::Hour) << 2;
        QTest::newRow("months over year") << at(2023, 11, 1) << at(2024, 2, 1) << int(TB::Month) << 4;
        QTest::newRow("to beyond range") << at(2069, 12, 31, 23, 59, 50) << at(2080, 1, 1) << int(TB::Second) << 10;
        QTest::newRow("months beyond range") << at(2069, 10, 1) << at(2080, 1, 1) << int(TB::Month) << 3;
        QTest::newRow("from before range") << at(1969, 12, 31) << at(1970, 1, 3) << int(TB::Day) << 4;
        QTest::newRow("from far before range") << at(1960, 1, 1) << at(1970, 1, 3) << int(TB::Day) << 1;
        QTest::newRow("whole range of seconds") << at(1970, 1, 1) << at(2069, 12, 31, 23, 59, 59)
                                                << int(TB::Second) << int(3155760000LL > INT_MAX ? INT_MAX : 0);
    }

    void labelsBetween()
    {
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(int, interval);
        QFETCH(int, count);

        const auto archInterval = TB::ArchInterval(interval);
        QCOMPARE(TB::getLabelsBetween(from, to, archInterval), count);
        uint fromSeconds = TB::archLabelToSeconds(from);
        uint toSeconds = TB::archLabelToSeconds(to);
        if (fromSeconds <= TB::MaxTimeLabel && toSeconds <= TB::MaxTimeLabel)
            QCOMPARE(TB::getLabelsBetween(fromSeconds, toSeconds, TB::TimeArch, archInterval), count);
        fromSeconds = 10;
        toSeconds = 19;
        QCOMPARE(TB::getLabelsBetween(fromSeconds, toSeconds, TB::IndexArch, archInterval), 10);
        QCOMPARE(TB::getLabelsBetween(toSeconds, fromSeconds, TB::IndexArch, archInterval), 0);
        QCOMPARE(TB::getLabelsBetween(fromSeconds, toSeconds, TB::ArchType(7), archInterval), 0);
    }

    void variantLabels()
    {
        const uint label = TB::archLabelToSeconds(at(2024, 2, 29, 6, 30));
        const QString format = QStringLiteral("dd.MM.yyyy hh:mm");

        QCOMPARE(TB::getVariantLabel(17, TB::IndexArch, true, format), QVariant(17u));
        QCOMPARE(TB::getVariantLabel(label, TB::TimeArch, false, format).toDateTime(), at(2024, 2, 29, 6, 30));
        QCOMPARE(TB::getVariantLabel(label, TB::TimeArch, true, format), QVariant(QStringLiteral("29.02.2024 06:30")));
        QVERIFY(!TB::getVariantLabel(label, TB::ArchType(3)).isValid());

        QCOMPARE(TB::getIntLabel(QVariant(at(2024, 2, 29, 6, 30)), format), label);
        QCOMPARE(TB::getIntLabel(QStringLiteral("29.02.2024 06:30"), format), label);
        QCOMPARE(TB::getIntLabel(QStringLiteral("1234"), format), 1234u);
        QCOMPARE(TB::getIntLabel(QVariant(99u), format), 99u);
        QCOMPARE(TB::getIntLabel(QStringLiteral("not a label"), format), 0u);
        QCOMPARE(TB::getIntLabel(QVariant(), format), 0u);
        QCOMPARE(TB::getIntLabel(TB::getVariantLabel(label, TB::TimeArch, true)), label - 0u);
    }

    void deviceNameInReportBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("newName");
        QTest::addColumn<QByteArray>("renamed");

        // None of these holds a name, which needs a zero byte after it; a new one overwrites the front only.
        QTest::newRow("leading zero") << QByteArray("0041") << "" << QByteArray("00 41");
        QTest::newRow("no zero") << QByteArray("0102") << "AB" << QByteArray("41 42 00");
        QTest::newRow("empty") << QByteArray() << "AB" << QByteArray("41 42 00");
        QTest::newRow("tail kept") << QByteArray("0102030405") << "AB" << QByteArray("41 42 00 04 05");
    }

    void deviceNameInReportBytes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, newName);
        QFETCH(QByteArray, renamed);

        const ModbusBytes original = ModbusBytes::fromHex(bytes);
        QCOMPARE(TB::getDevNameFromReportBytes(original), QString());
        const ModbusBytes named = TB::setDevNameToReportBytes(original, newName);
        QCOMPARE(named.toHex(' '), renamed);
        QCOMPARE(original, ModbusBytes::fromHex(bytes));
        QCOMPARE(TB::getDevNameFromReportBytes(named), newName);
    }
};

QTEST_GUILESS_MAIN(tst_TavrexBus)

#include "tst_tavrexbus.moc"
