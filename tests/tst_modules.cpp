// The modules the program loads as it is built (packages, statistics): each takes the core's
// and the history's functions from the program, which carries them whole.
#include "lessons/flashcardpackage.h"
#include "lessons/wordlists.h"
#include "qtservices/modules.h"
#include "services/statisticsfactory.h"

#include <QTest>

class tst_Modules final : public QObject {
    Q_OBJECT

private slots:
    // The statistics module takes the history's and the core's functions from the program
    // (every one resolved as it loads).
    void statisticsModuleLoads() {
        QVERIFY(qobject_cast<StatisticsFactory*>(moduleInstance(
            {QStringLiteral(VOKARIN_APP_DIR)}, QStringLiteral("vokarin-statistics"))));
    }
    // Packages are read by the module that the program loads for them, as it is built.
    void packagesModuleReadsAPackage() {
        auto* reader = qobject_cast<PackageReader*>(
            moduleInstance({QStringLiteral(VOKARIN_APP_DIR)}, QStringLiteral("vokarin-packages")));
        QVERIFY(reader);
        setPackageReader([reader] { return reader; });
        QByteArray bytes;
        QVERIFY(readFileBytes(VOKARIN_TEST_DATA "/packages/fruit-anki21b.colpkg", bytes).ok());
        WordList list;
        const FileResult read = readWordList(bytes, ListFormat::Package, "fruit.colpkg", list);
        setPackageReader({});
        QVERIFY2(read.ok(), qPrintable(read.description));
        QCOMPARE(list.pairs.size(), 4);
        QCOMPARE(list.pairs.first(), (WordPair{"apple", "苹果"}));
    }
};

QTEST_MAIN(tst_Modules)
#include "tst_modules.moc"
