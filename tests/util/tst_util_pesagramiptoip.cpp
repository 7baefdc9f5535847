// Address normalization: the ASCII digits and full stops of a stored address,
// in their order; everything else dropped.

#include "UnitUtils.h"

#include <QTest>

class TestPesagramIPToIP : public QObject {
    Q_OBJECT
private slots:
    void Normalizes_data();
    void Normalizes();
};

void TestPesagramIPToIP::Normalizes_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain address") << "192.168.1.10"
                                   << "192.168.1.10";
    QTest::newRow("blanks inside") << "192.168. 1. 10"
                                   << "192.168.1.10";
    QTest::newRow("leading zeros kept") << "010.001.000.001"
                                        << "010.001.000.001";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("no digits or stops") << "abc xyz"
                                        << "";
    QTest::newRow("only stops kept as they are") << "..1..2."
                                                 << "..1..2.";
    QTest::newRow("plus sign") << "+5"
                               << "5";
    QTest::newRow("minus sign") << "-1"
                                << "1";
    QTest::newRow("hexadecimal prefix and letters") << "0x1F"
                                                    << "01";
    QTest::newRow("upper-case X") << "0X9"
                                  << "09";
    QTest::newRow("dollar, comma, slash, colon") << "$1,2/3:4"
                                                 << "1234";
    QTest::newRow("control characters") << QStringLiteral("10\t.0\r\n.0\x01.1") << "10.0.0.1";
    QTest::newRow("non-ASCII digits dropped")
        << QStringLiteral("1\u0662.\u0663\uFF14.5\u09E6") << "1..5";
    QTest::newRow("full-width full stop dropped") << QStringLiteral("1\uFF0E2") << "12";
    QTest::newRow("surrogate pair dropped") << QStringLiteral("7\U0001D7D88") << "78";

    // 300 characters: the only digit sits in the last position.
    QTest::newRow("300 characters examined to the last")
        << QString(299, QLatin1Char(' ')) + QLatin1Char('9') << "9";
    QTest::newRow("300 characters, all kept")
        << QString(150, QLatin1Char('1')) + QString(150, QLatin1Char('.'))
        << QString(150, QLatin1Char('1')) + QString(150, QLatin1Char('.'));
}

void TestPesagramIPToIP::Normalizes() {
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QCOMPARE(PesagramIPToIP(stored), expected);
}

QTEST_APPLESS_MAIN(TestPesagramIPToIP)
#include "tst_util_pesagramiptoip.moc"
