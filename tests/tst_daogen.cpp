#include "generatortestsupport.h"

using namespace GeneratorTest;

// The DAO classes; the cases are listed in generatortestsupport.h.
class tst_DAOGen : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(TestServer::settings().valid, "the test server is not running"); }
    void wholeFiles_data() { addGoldenRows(Kind::DAO); }
    void wholeFiles() { compareWithGolden(Kind::DAO); }
    void writtenFiles_data() { addFileRows(Kind::DAO); }
    void writtenFiles() { checkWrittenFiles(Kind::DAO); }
};

QTEST_GUILESS_MAIN(tst_DAOGen)
#include "tst_daogen.moc"
