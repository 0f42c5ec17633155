// The lesson chooser, opened from a real main window.
#include "windowharness.h"
#include "windows/lessonchooser.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>

namespace {

const Pairs Two = {{"a", "甲"}, {"b", "乙"}};

struct Chooser {
    explicit Chooser(Harness& harness)
        : h(harness) {
        QTest::keyClick(h.window.get(), Qt::Key_O);
        form = h.window->findChild<Formopen*>("Formopen");
        if (!form)
            qFatal("the chooser did not open");
    }
    QListWidget* files() const { return form->findChild<QListWidget*>("File1"); }
    QListWidget* folders() const { return form->findChild<QListWidget*>("Dir1"); }
    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    QStringList listed() const {
        QStringList names;
        for (int i = 0; i < files()->count(); ++i)
            names << files()->item(i)->text();
        return names;
    }
    void select(const QStringList& names) const {
        for (const QString& name : names)
            files()->findItems(name, Qt::MatchExactly).value(0)->setSelected(true);
    }
    bool closed() const { return form.isNull(); }

    Harness& h;
    QPointer<Formopen> form;
};

} // namespace

class tst_Chooser final : public QObject {
    Q_OBJECT

private slots:
    void looksAsItShould() {
        Harness h;
        Chooser c(h);
        QCOMPARE(c.form->windowTitle(), QStringLiteral("打开学习文件"));
        QCOMPARE(c.form->size(), QSize(toPixels(7455), toPixels(3345)));
        QVERIFY(c.form->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(c.form->findChild<QLabel*>("Label1")->text(),
                 QStringLiteral("选择您要学习的文件："));
        QCOMPARE(c.button("Command3")->text(), QStringLiteral("全选"));
        QCOMPARE(c.button("Command1")->text(), QStringLiteral("打开"));
        QCOMPARE(c.button("Command2")->text(), QStringLiteral("取消"));
        QCOMPARE(c.files()->geometry(),
                 QRect(toPixels(3240), toPixels(720), toPixels(2535), toPixels(2250)));
        QCOMPARE(c.files()->selectionMode(), QAbstractItemView::ExtendedSelection);

        // Tab order: 打开, files, folders, drives, 取消, 全选.
        const QStringList expected = {"Command1", "File1",    "Dir1",    "Drive1",
                                      "Command2", "Command3", "Command1"};
        QWidget* w = c.button("Command1");
        QStringList order{w->objectName()};
        for (int i = 0; i < 6; ++i) {
            do
                w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty());
            order << w->objectName();
        }
        QCOMPARE(order, expected);
    }

    void startsInTheLessonFolder() {
        Harness h;
        h.lesson("b.txt", Two);
        h.lesson("A.txt", Two);
        h.lesson("scb.txt", Two);
        h.lesson("Z.txt", Two); // by name, case ignored: not before b.txt
        putFile(h.dir, "lesson/.hidden.txt", "x");
        QDir(h.module.lessonFolder()).mkdir("more");
        Chooser c(h);
        QCOMPARE(c.form->folder(), h.module.lessonFolder());
        QCOMPARE(c.listed(), QStringList({"A.txt", "b.txt", "scb.txt", "Z.txt"}));
        QCOMPARE(c.folders()->currentItem()->data(Qt::UserRole).toString(),
                 h.module.lessonFolder());
        QCOMPARE(c.folders()->item(c.folders()->count() - 1)->text().trimmed(),
                 QStringLiteral("more"));
    }

    void missingLessonFolderFallsBackToTheApplicationFolder() {
        Harness h;
        Chooser c(h);
        QCOMPARE(c.form->folder(), QDir::cleanPath(h.dir.path()));
        QVERIFY(c.listed().contains("csh2.dat"));
    }

    void studiesInListOrder() {
        Harness h;
        const QString a = h.lesson("a.txt", Two);
        const QString b = h.lesson("b.txt", {{"c", "丙"}, {"d", "丁"}});
        Chooser c(h);
        c.select({"b.txt", "a.txt"}); // clicked b first
        c.button("Command1")->click();
        QTRY_VERIFY(c.closed());
        QCOMPARE(h.module.SelectedFiles, QStringList({a, b}));
        QCOMPARE(h.module.SelectedFileCount, 2);
        QCOMPARE(h.engine().currentFileIndex(), 0);
        QCOMPARE(h.engine().currentFilePath(), a);
        QVERIFY(h.engine().questionOpen());
    }

    void selectAllThenOpen() {
        Harness h;
        for (const char* name : {"d.txt", "c.txt", "b.txt", "a.txt"})
            h.lesson(name, Two);
        Chooser c(h);
        c.button("Command3")->click();
        c.button("Command1")->click();
        QCOMPARE(h.module.SelectedFileCount, 4);
        QCOMPARE(QFileInfo(h.module.SelectedFiles.last()).fileName(), QStringLiteral("d.txt"));
    }

    // The sync program's copies of the notebook and the settings are Vokarin's to merge, not
    // lessons: the chooser leaves them out; a copy of a lesson of the learner's own is listed.
    void syncCopiesOfOwnFilesAreNotListed() {
        Harness h;
        for (const char* name :
             {"a.txt", "scb.sync-conflict-20261208-101500-ABCDEFG.txt",
              "scb (conflicted copy 2026-12-08 101500).txt",
              "scb (Laptop's conflicted copy 2026-12-08).txt", "scb_conflict-20261208-101500.txt",
              "a.sync-conflict-20261208-101500-ABCDEFG.txt", "scb.txt.bak", "scb (2).txt"})
            h.lesson(name, Two);
        Chooser c(h);
        QCOMPARE(c.listed(), QStringList({"a.sync-conflict-20261208-101500-ABCDEFG.txt", "a.txt",
                                          "scb (2).txt", "scb.txt.bak"}));
    }

    void cancelAndEmptyOpenChangeNothing_data() {
        QTest::addColumn<QString>("button");
        QTest::newRow("取消") << "Command2";
        QTest::newRow("打开 with nothing selected") << "Command1";
    }
    void cancelAndEmptyOpenChangeNothing() {
        QFETCH(QString, button);
        Harness h;
        const QString a = h.lesson("a.txt", Two);
        h.lesson("b.txt", Two);
        h.study({a});
        const QString question = h.question();
        Chooser c(h);
        c.button(qPrintable(button))->click();
        QTRY_VERIFY(c.closed());
        QCOMPARE(h.module.SelectedFiles, QStringList{a});
        QCOMPARE(h.module.SelectedFileCount, 1);
        QCOMPARE(h.question(), question);
        QVERIFY(h.fakes.messages.shown.isEmpty());
    }

    void enterInAFreshChooserOpens() {
        Harness h;
        h.window->show();
        const QString a = h.lesson("a.txt", Two);
        Chooser c(h);
        c.form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(c.form));
        QCOMPARE(QApplication::focusWidget(), c.button("Command1"));
        c.select({"a.txt"});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(c.closed());
        QCOMPARE(h.engine().currentFilePath(), a);
    }

    void doubleClickStudiesThatFile() {
        Harness h;
        const QString b = h.lesson("b.txt", Two);
        h.lesson("a.txt", Two);
        h.lesson("c.txt", Two);
        Chooser c(h);
        c.form->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.form));
        c.select({"a.txt", "c.txt"});
        QListWidgetItem* item = c.files()->findItems("b.txt", Qt::MatchExactly).value(0);
        const QPoint at = c.files()->visualItemRect(item).center();
        QTest::mouseClick(c.files()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(c.files()->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(c.closed());
        QCOMPARE(h.module.SelectedFiles, QStringList{b});
    }

    void openingAFolderListsItsFiles() {
        Harness h;
        h.lesson("a.txt", Two);
        putFile(h.dir, "lesson/more/x.txt", "\"a\",\"b\"\r\n");
        Chooser c(h);
        QListWidgetItem* more = c.folders()->item(c.folders()->count() - 1);
        c.folders()->setCurrentItem(more);
        emit c.folders()->itemActivated(more);
        QCOMPARE(c.listed(), QStringList{"x.txt"});
        QCOMPARE(c.form->folder(), QDir(h.module.lessonFolder()).filePath("more"));
        // Back up one level through the tree.
        QListWidgetItem* up = c.folders()->item(c.folders()->count() - 2);
        c.folders()->setCurrentItem(up);
        emit c.folders()->itemActivated(up);
        QCOMPARE(c.listed(), QStringList{"a.txt"});
    }

    void secondOpenRaisesTheSameChooser() {
        Harness h;
        Chooser first(h);
        QTest::keyClick(h.window.get(), Qt::Key_O);
        QCOMPARE(h.window->findChildren<Formopen*>().size(), 1);
    }

    void drivesOfferTheVolumes() {
        Harness h;
        Chooser c(h);
        auto* drives = c.form->findChild<QComboBox*>("Drive1");
        QVERIFY(drives->count() >= 1);
        QCOMPARE(drives->currentText(), QStorageInfo(h.dir.path()).rootPath());
    }
};

QTEST_MAIN(tst_Chooser)
#include "tst_chooser.moc"
