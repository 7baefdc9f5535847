// What only libmdb's row cracker shows: an empty text and a NULL are stored
// differently, although mdb-export prints both as an empty field.
#include "MdbWriter.h"

#include <QTemporaryDir>
#include <QTest>

#include <mdbtools.h>

using namespace mdbw;

class TestMdbWriterLibmdb : public QObject {
    Q_OBJECT

private slots:
    void emptyTextIsNotNull_data();
    void emptyTextIsNotNull();
};

void TestMdbWriterLibmdb::emptyTextIsNotNull_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("isNull");
    QTest::addColumn<int>("textBytes");
    QTest::newRow("empty") << QVariant(QString("")) << false << 0;
    QTest::newRow("NULL") << QVariant() << true << 0;
    QTest::newRow("text") << QVariant(QString("São")) << false << 6;
}

void TestMdbWriterLibmdb::emptyTextIsNotNull() {
    QFETCH(QVariant, value);
    QFETCH(bool, isNull);
    QFETCH(int, textBytes);

    const TValue v = value.isNull() ? TValue(TNull{}) : TValue(value.toString().toStdString());
    QTemporaryDir dir;
    const QByteArray file = dir.filePath("empty.mdb").toLocal8Bit();
    WriteMdb(file.toStdString(),
             {{"Vazios",
               {{"Id", TColumnType::Long}, {"T", TColumnType::Text, 20}, {"M", TColumnType::Memo}},
               {{std::int64_t{1}, v, v}}}});

    MdbHandle* mdb = mdb_open(file.constData(), MDB_NOFLAGS);
    QVERIFY(mdb != nullptr);
    QVERIFY(mdb_read_catalog(mdb, MDB_TABLE) != nullptr);
    char name[] = "Vazios";
    MdbTableDef* table = mdb_read_table_by_name(mdb, name, MDB_TABLE);
    QVERIFY(table != nullptr);
    mdb_read_columns(table);
    mdb_rewind_table(table);
    QVERIFY(mdb_fetch_row(table));
    int start = 0;
    size_t length = 0;
    QCOMPARE(mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &length), 0);
    MdbField fields[3];
    QCOMPARE(mdb_crack_row(table, start, length, fields), 3);
    QVERIFY(!fields[0].is_null);
    QCOMPARE(bool(fields[1].is_null), isNull);
    QCOMPARE(bool(fields[2].is_null), isNull);
    QCOMPARE(fields[1].siz, textBytes);
    QVERIFY(!mdb_fetch_row(table));
    mdb_free_tabledef(table);
    mdb_close(mdb);
}

QTEST_GUILESS_MAIN(TestMdbWriterLibmdb)
#include "tst_tools_mdbwriter_libmdb.moc"
