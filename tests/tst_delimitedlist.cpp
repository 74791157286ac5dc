#include "check/delimitedlist.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

QString withChar(const QString &before, char16_t c, const QString &after)
{
    return before + QChar(c) + after;
}

// Characters that exercise every rule of the format: plain, blank, control, quote, delimiter,
// non-ASCII and a character outside the basic plane (two UTF-16 units).
const QStringList alphabet{
    QStringLiteral("a"),  QStringLiteral("Z"), QStringLiteral("0"),  QStringLiteral(" "),
    QStringLiteral("\""), QStringLiteral("|"), QStringLiteral("\t"), QStringLiteral("\n"),
    QString(QChar(0x01)), QString(QChar(0)),   QString(QChar(0x7F)), QStringLiteral("ä"),
    QStringLiteral("€"),  QStringLiteral("😀"), QString(QChar(0xA0)),
};

QString randomText(QRandomGenerator &random, int maxLength)
{
    QString text;
    const int length = random.bounded(maxLength + 1);
    for (int i = 0; i < length; ++i)
        text += alphabet.at(random.bounded(int(alphabet.size())));
    return text;
}

} // namespace

class TestDelimitedList : public QObject
{
    Q_OBJECT

private slots:
    // Reading
    void split_data();
    void split();

    // Writing, and reading back what was written
    void join_data();
    void join();

    // Both ways
    void randomListsSurviveJoinAndSplit();
    void splitOfAnyTextIsStable();
};

void TestDelimitedList::split_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("codes");

    QTest::newRow("empty text") << QString() << QStringList();
    QTest::newRow("only blanks") << QStringLiteral("   ") << QStringList();
    QTest::newRow("one code") << QStringLiteral("KUNDBEST") << QStringList{"KUNDBEST"};
    QTest::newRow("two codes in order")
        << QStringLiteral("RESERV|KUNDBEST") << QStringList{"RESERV", "KUNDBEST"};
    QTest::newRow("blanks around codes and delimiter")
        << QStringLiteral("  a |  b  ") << QStringList{"a", "b"};
    QTest::newRow("control chars around codes")
        << withChar(withChar(QString(), 0x01, QStringLiteral("a")), 0x1F, QStringLiteral("|\tb\r\n"))
        << QStringList{"a", "b"};
    QTest::newRow("unquoted blank splits") << QStringLiteral("a b") << QStringList{"a", "b"};
    QTest::newRow("unquoted tab splits") << QStringLiteral("a\tb") << QStringList{"a", "b"};
    QTest::newRow("unquoted nul splits")
        << withChar(QStringLiteral("a"), 0, QStringLiteral("b")) << QStringList{"a", "b"};
    QTest::newRow("quoted blank kept") << QStringLiteral("\"a b\"|c") << QStringList{"a b", "c"};
    QTest::newRow("quoted delimiter kept") << QStringLiteral("\"a|b\"") << QStringList{"a|b"};
    QTest::newRow("doubled quote") << QStringLiteral("\"a\"\"b\"") << QStringList{"a\"b"};
    QTest::newRow("only a doubled quote") << QStringLiteral("\"\"\"\"") << QStringList{"\""};
    QTest::newRow("quoted with outer blanks") << QStringLiteral("  \" a \"  |x") << QStringList{" a ", "x"};
    QTest::newRow("quote inside unquoted code") << QStringLiteral("ab\"cd") << QStringList{"ab\"cd"};
    QTest::newRow("trailing delimiter") << QStringLiteral("a|") << QStringList{"a", ""};
    QTest::newRow("trailing delimiter after quoted") << QStringLiteral("\"a b\"|") << QStringList{"a b", ""};
    QTest::newRow("delimiter then blank at end") << QStringLiteral("a| ") << QStringList{"a"};
    QTest::newRow("leading delimiter") << QStringLiteral("|a") << QStringList{"", "a"};
    QTest::newRow("double delimiter") << QStringLiteral("a||b") << QStringList{"a", "", "b"};
    QTest::newRow("double delimiter with blanks") << QStringLiteral("a | | b") << QStringList{"a", "", "b"};
    QTest::newRow("lone delimiter") << QStringLiteral("|") << QStringList{"", ""};
    QTest::newRow("two delimiters") << QStringLiteral("||") << QStringList{"", "", ""};
    QTest::newRow("two quotes") << QStringLiteral("\"\"") << QStringList{""};
    QTest::newRow("lone quote") << QStringLiteral("\"") << QStringList{""};
    QTest::newRow("unterminated quote") << QStringLiteral("\"ab c|d") << QStringList{"ab c|d"};
    QTest::newRow("unterminated after doubled") << QStringLiteral("\"a\"\"") << QStringList{"a\""};
    QTest::newRow("text after closing quote") << QStringLiteral("\"ab\"cd|e") << QStringList{"ab", "cd", "e"};
    QTest::newRow("quote after closing quote") << QStringLiteral("\"a\" \"b\"") << QStringList{"a", "b"};
    QTest::newRow("non-ASCII") << QStringLiteral("Ä|ö|€") << QStringList{"Ä", "ö", "€"};
    QTest::newRow("non-breaking space is part of a code")
        << withChar(QStringLiteral("a"), 0xA0, QStringLiteral("b")) << QStringList{withChar("a", 0xA0, "b")};
}

void TestDelimitedList::split()
{
    QFETCH(QString, text);
    QFETCH(QStringList, codes);
    QCOMPARE(splitDelimitedList(text), codes);
}

void TestDelimitedList::join_data()
{
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty list") << QStringList() << QString();
    QTest::newRow("one empty code") << QStringList{""} << QStringLiteral("\"\"");
    QTest::newRow("two codes") << QStringList{"KUNDBEST", "RESERV"} << QStringLiteral("KUNDBEST|RESERV");
    QTest::newRow("blank quoted") << QStringList{"a b"} << QStringLiteral("\"a b\"");
    QTest::newRow("only a blank") << QStringList{" "} << QStringLiteral("\" \"");
    QTest::newRow("tab quoted") << QStringList{"a\tb"} << QStringLiteral("\"a\tb\"");
    QTest::newRow("nul quoted") << QStringList{withChar("a", 0, "")} << withChar("\"a", 0, "\"");
    QTest::newRow("quote doubled") << QStringList{"a\"b"} << QStringLiteral("\"a\"\"b\"");
    QTest::newRow("delimiter quoted") << QStringList{"a|b", "c"} << QStringLiteral("\"a|b\"|c");
    QTest::newRow("empty first") << QStringList{"", "a"} << QStringLiteral("|a");
    QTest::newRow("empty last") << QStringList{"a", ""} << QStringLiteral("a|");
    QTest::newRow("empty between") << QStringList{"a", "", "b"} << QStringLiteral("a||b");
    QTest::newRow("two empty") << QStringList{"", ""} << QStringLiteral("|");
    QTest::newRow("non-ASCII plain") << QStringList{"Ä", "€"} << QStringLiteral("Ä|€");
    QTest::newRow("three empty codes") << QStringList{"", "", ""} << QStringLiteral("||");
    QTest::newRow("origin characters") << QStringList{"O", "K", "W"} << QStringLiteral("O|K|W");
    QTest::newRow("blanks inside and around")
        << QStringList{" a", "b ", "c d"} << QStringLiteral("\" a\"|\"b \"|\"c d\"");
    QTest::newRow("quotes everywhere") << QStringList{"\"", "\"\"", "a\"", "\"a"}
                                       << QStringLiteral("\"\"\"\"|\"\"\"\"\"\"|\"a\"\"\"|\"\"\"a\"");
    QTest::newRow("delimiters") << QStringList{"|", "||", "a|"} << QStringLiteral("\"|\"|\"||\"|\"a|\"");
    QTest::newRow("control characters")
        << QStringList{"\r\n", withChar("", 0, ""), withChar("x", 0x1B, "y")}
        << QStringLiteral("\"\r\n\"|") + withChar("\"", 0, "\"|\"x") + withChar("", 0x1B, "y\"");
    QTest::newRow("empty among quoted")
        << QStringList{"a b", "", "\""} << QStringLiteral("\"a b\"||\"\"\"\"");
}

// Every written text reads back as the list it was written from.
void TestDelimitedList::join()
{
    QFETCH(QStringList, codes);
    QFETCH(QString, text);
    QCOMPARE(joinDelimitedList(codes), text);
    QCOMPARE(splitDelimitedList(text), codes);
}

void TestDelimitedList::randomListsSurviveJoinAndSplit()
{
    QRandomGenerator random(20261208);
    for (int round = 0; round < 5000; ++round) {
        QStringList codes;
        const int size = random.bounded(7);
        for (int i = 0; i < size; ++i)
            codes << randomText(random, 5);
        const QString text = joinDelimitedList(codes);
        QCOMPARE(splitDelimitedList(text), codes);
    }
}

void TestDelimitedList::splitOfAnyTextIsStable()
{
    // Whatever a text holds, reading it ends, and writing what was read reads back the same.
    QRandomGenerator random(7);
    for (int round = 0; round < 5000; ++round) {
        const QString text = randomText(random, 12);
        const QStringList codes = splitDelimitedList(text);
        QVERIFY(codes.size() <= text.size() + 1);
        QCOMPARE(splitDelimitedList(joinDelimitedList(codes)), codes);
    }
}

QTEST_APPLESS_MAIN(TestDelimitedList)

#include "tst_delimitedlist.moc"
