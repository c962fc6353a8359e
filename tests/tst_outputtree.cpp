#include "generatortestsupport.h"

#include "generators/daogen.h"
#include "generators/objectgen.h"
#include "generators/outputtree.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTest>

using namespace GeneratorTest;

namespace {

// Every file below `path`, relative to it.
QStringList filesBelow(const QString &path)
{
    QStringList files;
    QDirIterator it(path, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(path).relativeFilePath(it.next()));
    files.sort();
    return files;
}

} // namespace

class tst_OutputTree : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void missingDirectoryWritesNothing();
    void existingFileIsReplaced();

    void unsafeFileNamesAreRefused_data();
    void unsafeFileNamesAreRefused();

    void tableNamesCannotLeaveTheTree();
};

void tst_OutputTree::initTestCase()
{
    QVERIFY2(TestServer::settings().valid, "the test server is not running");
}

void tst_OutputTree::missingDirectoryWritesNothing()
{
    CodeModel model(QStringLiteral("gen_invoice"));
    QVERIFY(model.isLoaded());
    QTemporaryDir root;
    QVERIFY(root.isValid());
    // Only the object directory exists.
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/object")));
    OutputTree tree(root.path());
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });

    DAOGen gen(model.generator()->tableObject(QStringLiteral("invoice")), model.generator());
    gen.setOutputTree(&tree);
    gen.generateHeader();

    QCOMPARE(filesBelow(root.path()), QStringList());
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures.first().startsWith(QStringLiteral("Cannot write file: ")), qPrintable(failures.first()));
    QVERIFY2(failures.first().contains(QStringLiteral("code/C++/dao/invoicedao.h")), qPrintable(failures.first()));
    QCOMPARE(tree.failureCount(), 1);

    // The generator goes on: the next file fails the same way, silently
    // without a handler.
    OutputTree silent(root.path());
    gen.setOutputTree(&silent);
    gen.generateSource();
    QCOMPARE(silent.failureCount(), 1);
    QCOMPARE(filesBelow(root.path()), QStringList());
}

void tst_OutputTree::existingFileIsReplaced()
{
    CodeModel model(QStringLiteral("gen_factura"));
    QVERIFY(model.isLoaded());
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("code/C++/object")));
    const QString path = root.path() + QStringLiteral("/code/C++/object/factura.h");
    {
        // Longer than the new text, so that a write without truncation shows.
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    OutputTree tree(root.path());
    ObjectGen gen(model.generator()->tableObject(QStringLiteral("factura")), model.generator());
    gen.setOutputTree(&tree);
    gen.generateHeader();

    QCOMPARE(tree.failureCount(), 0);
    const QString difference = firstDifference(maskBanner(readFile(path)),
                                               golden(QStringLiteral("gen_factura/factura.h")));
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
}

void tst_OutputTree::unsafeFileNamesAreRefused_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("written");

    QTest::newRow("plain") << "factura.h" << true;
    QTest::newRow("leading dots") << "..factura.h" << true;
    QTest::newRow("parent") << "../factura.h" << false;
    QTest::newRow("grandparent") << "../../factura.h" << false;
    QTest::newRow("subdirectory") << "sub/factura.h" << false;
    QTest::newRow("absolute") << "/tmp/factura.h" << false;
    QTest::newRow("backslash") << "a\\b.h" << false;
    QTest::newRow("backslash parent") << "..\\factura.h" << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("empty") << "" << false;
}

void tst_OutputTree::unsafeFileNamesAreRefused()
{
    QFETCH(QString, fileName);
    QFETCH(bool, written);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    // The tree sits two levels down so that an escape would land inside base.
    const QString root = base.path() + QStringLiteral("/a/root");
    QVERIFY(QDir(root).mkpath(QStringLiteral("code/C++/object")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("code/C++/object/sub")));
    OutputTree tree(root);
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });

    QCOMPARE(tree.writeFile(QStringLiteral("code/C++/object"), fileName, QStringLiteral("text\n")),
             written);
    QCOMPARE(failures.size(), written ? 0 : 1);
    const QStringList expected = written
            ? QStringList{QStringLiteral("a/root/code/C++/object/") + fileName}
            : QStringList();
    QCOMPARE(filesBelow(base.path()), expected);
}

void tst_OutputTree::tableNamesCannotLeaveTheTree()
{
    // gen_paths holds tables named "../../escape" and "a\b" beside "plain".
    CodeModel model(QStringLiteral("gen_paths"));
    QVERIFY(model.isLoaded());
    QCOMPARE(model.generator()->tableObjects().size(), 3);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString root = base.path() + QStringLiteral("/x/y/root");
    QVERIFY(QDir(root).mkpath(QStringLiteral("code/C++/object")));
    QVERIFY(QDir(root).mkpath(QStringLiteral("code/C++/dao")));
    OutputTree tree(root);
    QStringList failures;
    tree.setFailureHandler([&failures](const QString &line) { failures.append(line); });

    for (TableObject *table : model.generator()->tableObjects()) {
        ObjectGen object(table, model.generator());
        object.setOutputTree(&tree);
        object.generateHeader();
        object.generateSource();
        DAOGen dao(table, model.generator());
        dao.setOutputTree(&tree);
        dao.generateHeader();
        dao.generateSource();
    }

    QCOMPARE(filesBelow(base.path()),
             QStringList({"x/y/root/code/C++/dao/plaindao.cpp", "x/y/root/code/C++/dao/plaindao.h",
                          "x/y/root/code/C++/object/plain.cpp", "x/y/root/code/C++/object/plain.h"}));
    QCOMPARE(failures.size(), 8);
}

QTEST_GUILESS_MAIN(tst_OutputTree)
#include "tst_outputtree.moc"
