#include "CountryDialCodeTable.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

class TestDialCodes : public QObject
{
    Q_OBJECT

private slots:
    void holdsEveryRegionOnce()
    {
        QCOMPARE(CountryDialCodeTable::count(), 234);
        QCOMPARE(CountryDialCodeTable::rows().size(), 234);
        QSet<QString> labels;
        for (const DialCodeEntry &row : CountryDialCodeTable::rows())
            labels.insert(row.label);
        QCOMPARE(labels.size(), 234);
    }

    void pinnedRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("blanks");
        auto add = [](int row, const QString &name, const char *code, int blanks) {
            QTest::addRow("%d %s", row, code) << row << name << QString::fromLatin1(code) << blanks;
        };
        add(0, QStringLiteral("中国大陆"), "+86", 44);
        add(1, QStringLiteral("中国澳门"), "+853", 42);
        add(2, QStringLiteral("中国香港"), "+852", 42);
        add(3, QStringLiteral("中国台湾"), "+886", 42);
        add(4, QStringLiteral("阿尔巴尼亚"), "+355", 39);
        // "+1" three times
        add(35, QStringLiteral("北马里亚纳群岛"), "+1", 37);
        add(95, QStringLiteral("加拿大"), "+1", 49);
        add(134, QStringLiteral("美国"), "+1", 52);
        add(45, QStringLiteral("博奈尔岛......萨巴岛"), "+599", 27);
        add(110, QStringLiteral("库拉索"), "+599", 45);
        add(58, QStringLiteral("俄罗斯"), "+7", 49);
        add(83, QStringLiteral("哈萨克斯坦"), "+7", 43);
        add(80, QStringLiteral("瓜德罗普"), "+590", 42);
        add(172, QStringLiteral("圣巴泰勒米岛"), "+590", 36);
        add(177, QStringLiteral("圣马丁"), "+590", 45);
        // shortened names kept as they are
        add(87, QStringLiteral("荷属"), "+1721", 46);
        add(91, QStringLiteral("吉布"), "+253", 48);
        add(148, QStringLiteral("纳米比"), "+264", 45);
        add(206, QStringLiteral("乌克兰语"), "+380", 42);
        add(158, QStringLiteral("诺福克岛"), "+6723", 40);
        add(180, QStringLiteral("圣文森特和格林纳丁斯"), "+1784", 22);
        add(232, QStringLiteral("智利"), "+56", 50);
        add(233, QStringLiteral("中非共和国"), "+236", 39);
    }
    void pinnedRows()
    {
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(QString, code);
        QFETCH(int, blanks);
        const DialCodeEntry &entry = CountryDialCodeTable::entry(row);
        QCOMPARE(entry.code, code);
        QCOMPARE(entry.label, QStringLiteral("  ") + name + QString(blanks, QLatin1Char(' ')) + code);
        QCOMPARE(&CountryDialCodeTable::rows().at(row), &entry);
    }

    void sharedCodesAppearExactlyWhereExpected_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QList<int>>("rows");
        QTest::newRow("+1") << "+1" << QList<int>{35, 95, 134};
        QTest::newRow("+7") << "+7" << QList<int>{58, 83};
        QTest::newRow("+599") << "+599" << QList<int>{45, 110};
        QTest::newRow("+590") << "+590" << QList<int>{80, 172, 177};
        QTest::newRow("+86") << "+86" << QList<int>{0};
    }
    void sharedCodesAppearExactlyWhereExpected()
    {
        QFETCH(QString, code);
        QFETCH(QList<int>, rows);
        QList<int> found;
        for (int i = 0; i < CountryDialCodeTable::count(); ++i) {
            if (CountryDialCodeTable::entry(i).code == code)
                found.append(i);
        }
        QCOMPARE(found, rows);
    }

    // Every row: "+" and 1-4 digits; two blanks, a name without blanks, a run
    // of 22 to 53 blanks, then exactly the row's code.
    void everyRowHasTheLabelShape()
    {
        const QRegularExpression codeShape(QStringLiteral("^\\+[0-9]{1,4}$"));
        const QRegularExpression labelShape(QStringLiteral("^  ([^ ]+)( +)(\\+[0-9]+)$"));
        int shortest = 1000;
        int longest = 0;
        for (int i = 0; i < CountryDialCodeTable::count(); ++i) {
            const DialCodeEntry &entry = CountryDialCodeTable::entry(i);
            QVERIFY2(codeShape.match(entry.code).hasMatch(), qPrintable(entry.code));
            const QRegularExpressionMatch m = labelShape.match(entry.label);
            QVERIFY2(m.hasMatch(), qPrintable(QStringLiteral("row %1: [%2]").arg(i).arg(entry.label)));
            QCOMPARE(m.captured(3), entry.code);
            const int run = m.captured(2).size();
            QVERIFY2(run >= 22 && run <= 53, qPrintable(QStringLiteral("row %1: %2 blanks").arg(i).arg(run)));
            shortest = qMin(shortest, run);
            longest = qMax(longest, run);
        }
        QCOMPARE(shortest, 22);
        QCOMPARE(longest, 52);
    }

    // Names come through as UTF-8: Chinese characters (and the dots of one
    // shortened name), nothing lost to a replacement character.
    void namesAreDecodedText()
    {
        const QRegularExpression nameShape(QStringLiteral("^  ([\\x{4e00}-\\x{9fff}.]+) "));
        for (const DialCodeEntry &entry : CountryDialCodeTable::rows()) {
            QVERIFY2(!entry.label.contains(QChar(0xfffd)), qPrintable(entry.label));
            QVERIFY2(nameShape.match(entry.label).hasMatch(), qPrintable(entry.label));
        }
        const QByteArray utf8 = CountryDialCodeTable::entry(0).label.toUtf8();
        QCOMPARE(utf8.left(14), QByteArray("  \xe4\xb8\xad\xe5\x9b\xbd\xe5\xa4\xa7\xe9\x99\x86"));
    }

    void rowsOutsideTheTableAreEmpty_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("-1") << -1;
        QTest::newRow("234") << 234;
        QTest::newRow("huge") << (1 << 30);
    }
    void rowsOutsideTheTableAreEmpty()
    {
        QFETCH(int, row);
        QVERIFY(CountryDialCodeTable::entry(row).label.isEmpty());
        QVERIFY(CountryDialCodeTable::entry(row).code.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDialCodes)

#include "tst_dialcodes.moc"
