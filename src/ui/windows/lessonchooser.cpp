#include "windows/lessonchooser.h"
#include "sync/conflicts.h"
#include "sync/folderguard.h"

#include "fileio.h"
#include "module1.h"
#include "windows/windowscaffold.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

namespace {

// The roots of the mounted volumes that can be browsed, standing in for drive letters.
QStringList volumeRoots(const QString& mustHave) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir())
            roots << volume.rootPath();
    if (!mustHave.isEmpty())
        roots << mustHave;
    roots.removeDuplicates();
    roots.sort();
    return roots;
}

} // namespace

Formopen::Formopen(const Module1& module, QWidget* parent)
    : QDialog(parent, SecondaryWindowFlags)
    , module_(module) {
    setUpSecondaryWindow(this, QStringLiteral("Formopen"), QStringLiteral("打开学习文件"), 7455,
                         3345);

    Label1 = new QLabel(QStringLiteral("选择您要学习的文件："), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    placeTwips(Label1, 360, 240, 5175, 375);

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    placeTwips(Drive1, 360, 720, 2535, 300);
    Drive1->setAccessibleName(QStringLiteral("磁盘"));

    Dir1 = new QListWidget(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    placeTwips(Dir1, 360, 1200, 2535, 1770);
    Dir1->setAccessibleName(QStringLiteral("文件夹"));

    File1 = new QListWidget(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // One line each: the list need not measure every one of thousands of names.
    File1->setUniformItemSizes(true);
    File1->setAccessibleName(QStringLiteral("选择您要学习的文件"));
    placeTwips(File1, 3240, 720, 2535, 2250);

    Command3 = new QPushButton(QStringLiteral("全选"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    placeTwips(Command3, 6240, 360, 975, 375);
    Command1 = new QPushButton(QStringLiteral("打开"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    placeTwips(Command1, 6240, 1320, 975, 375);
    Command2 = new QPushButton(QStringLiteral("取消"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    placeTwips(Command2, 6240, 2280, 975, 375);

    setTabOrder(Command1, File1);
    setTabOrder(File1, Dir1);
    setTabOrder(Dir1, Drive1);
    setTabOrder(Drive1, Command2);
    setTabOrder(Command2, Command3);

    connect(Command1, &QPushButton::clicked, this, &Formopen::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Command3, &QPushButton::clicked, this, &Formopen::Command3_Click);
    connect(File1, &QListWidget::itemDoubleClicked, this, &Formopen::Command1_Click);
    connect(Drive1, &QComboBox::activated, this, &Formopen::Drive1_Change);
    connect(Dir1, &QListWidget::itemActivated, this, &Formopen::Dir1_Change);
    Dir1->installEventFilter(this);

    Form_Load();
}

void Formopen::Form_Load() {
    // Without a lesson folder the chooser starts in the application folder.
    QString start = module_.lessonFolder();
    if (!QFileInfo(start).isDir())
        start = module_.AppFolder;
    const QString drive = QStorageInfo(start).rootPath();
    Drive1->addItems(volumeRoots(drive));
    Drive1->setCurrentText(drive);
    drive_ = drive;
    showFolder(start);
    Command1->setFocus();
}

void Formopen::showFolder(const QString& path) {
    folder_ = QDir::cleanPath(path);
    const auto nameOf = [](const QString& full) { return displayPath(QFileInfo(full).fileName()); };
    File1->clear();
    // Each item is made whole before it joins the list: data set on an item already listed
    // costs the list a notice, and a long folder far more than the items themselves.
    for (const FolderEntry& file : folderEntries(folder_, false)) {
        // A sync program's copy of the notebook waits to be merged into it, and what was set
        // apart in a shared folder is never used: neither is a lesson.
        if (isCopyOfOwnFile(file.name) || isSetApart(file.name))
            continue;
        auto* item = new QListWidgetItem(file.name);
        item->setData(Qt::UserRole, file.path);
        File1->addItem(item);
    }

    // The folder tree: the drive, each folder down to this one, then this one's folders.
    Dir1->clear();
    QStringList chain;
    for (QString up = folder_;;) {
        chain.prepend(up);
        const qsizetype slash = up.lastIndexOf(u'/');
        if (up == QDir::cleanPath(drive_) || slash < 0 || up == u"/")
            break;
        up = slash == 0 ? QStringLiteral("/") : up.left(slash);
    }
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    auto add = [this](const QIcon& icon, const QString& name, const QString& full, int depth) {
        auto* item = new QListWidgetItem(icon, QString(depth * 2, u' ') + name);
        item->setData(Qt::UserRole, full);
        Dir1->addItem(item);
        return item;
    };
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& folder : chain) {
        current = add(open, depth == 0 ? displayPath(folder) : nameOf(folder), folder, depth);
        ++depth;
    }
    for (const FolderEntry& sub : folderEntries(folder_, true))
        add(closed, sub.name, sub.path, depth);
    Dir1->setCurrentItem(current);
    Dir1->scrollToItem(current);
}

// Enter in the folder tree opens the folder; it must not also reach the default button,
// which would close the chooser with nothing chosen.
bool Formopen::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Dir1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Dir1_Change();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void Formopen::Drive1_Change() {
    const QString drive = Drive1->currentText();
    // A drive that cannot be read leaves the chooser where it was.
    if (!QStorageInfo(drive).isReady() || !QDir(drive).isReadable()) {
        Drive1->setCurrentText(drive_);
        return;
    }
    drive_ = drive;
    showFolder(drive);
}

// A folder opened in the tree (double-click or Enter) lists its files.
void Formopen::Dir1_Change() {
    if (const QListWidgetItem* item = Dir1->currentItem())
        showFolder(item->data(Qt::UserRole).toString());
}

void Formopen::Command3_Click() {
    File1->selectAll();
}

void Formopen::Command1_Click() {
    // In the order of the list, whatever the order of the clicks.
    QStringList chosen;
    for (int row = 0; row < File1->count(); ++row)
        if (File1->item(row)->isSelected())
            chosen << File1->item(row)->data(Qt::UserRole).toString();
    if (!chosen.isEmpty())
        emit lessonsChosen(chosen);
    close();
}
