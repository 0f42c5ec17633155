#include "windows/helpwindow.h"

#include "module1.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

QString row(const QString& keys, const QString& what) {
    return QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(keys, what);
}

QString table(std::initializer_list<std::pair<const char16_t*, const char16_t*>> rows) {
    QString html = QStringLiteral("<table cellspacing=\"2\" cellpadding=\"2\">");
    for (const auto& [keys, what] : rows)
        html += row(QString::fromUtf16(keys), QString::fromUtf16(what));
    return html + QStringLiteral("</table>");
}

QString path(const QString& folder) {
    return QDir::toNativeSeparators(folder).toHtmlEscaped();
}

} // namespace

QString HelpWindow::text(const Module1& module) {
    QString html = QStringLiteral("<h3>主窗口的按键</h3>");
    html += table({{u"1 到 5", u"选这个意思"},
                   {u"空格", u"只有一个选项时，选它"},
                   {u"H、回车", u"帮助：显示本题的正确答案"},
                   {u"O", u"选择课文"},
                   {u"F", u"单词文件管理器"},
                   {u"R", u"本课从头再来"},
                   {u"T", u"选择答案和输入答案之间转换"},
                   {u"S", u"朗读"},
                   {u"C", u"设置"},
                   {u"D", u"今日复习：所有该复习的单词"},
                   {u"G", u"学习统计"},
                   {u"F1", u"这段说明（每个窗口都可以按）"}});
    html += QStringLiteral("<p>输入答案时：回车判定答案，输入框空着按回车就显示正确答案；"
                           "Ctrl+H 也显示正确答案。</p>");
    html += QStringLiteral("<h3>“帮助”是什么</h3><p>工具栏上的“帮助”（H 键）不是这段说明，"
                           "而是把本题的正确答案显示出来：选择时标出正确的意思，输入时把答案"
                           "写进输入框。</p>");
    html += QStringLiteral("<h3>单词文件管理器</h3>");
    html += table({{u"回车", u"在单词框里：到汉语框；在汉语框里：确定"},
                   {u"Alt+Y", u"确定"},
                   {u"Alt+O", u"打开：课文或别的程序的单词表（CSV、TSV、闪卡、KVTML、卡片包）"},
                   {u"Alt+D", u"删除选中的单词"},
                   {u"Alt+S", u"保存"},
                   {u"Alt+X、Esc", u"退出"}});
    html += QStringLiteral("<p>导入别的程序的单词表时，预览窗口里：Alt+W 单词在哪一列，Alt+M "
                           "汉语在哪一列，Alt+P 词性在哪一列，Alt+E 编码，Alt+H 第一行是标题，"
                           "Alt+R 单词和汉语对调；回车导入，Esc 不导入。</p>");
    html += QStringLiteral("<h3>设置</h3>");
    html += table({{u"回车、Alt+O", u"确 定"},
                   {u"Esc、Alt+C", u"取 消"},
                   {u"Alt+A", u"应 用"},
                   {u"Alt+J", u"输入答案时宽松判定"},
                   {u"Alt+W", u"答错时显示正确答案"},
                   {u"Alt+D、Alt+G", u"数据文件夹：看、更改"},
                   {u"Alt+S", u"设置也放在数据文件夹里"},
                   {u"Alt+U、Alt+K", u"朗读口音：美音、英音"},
                   {u"Alt+T", u"试听：用选定的口音读一个单词"}});
    html += QStringLiteral("<p>学习统计窗口：Esc 或 Ctrl+W 关闭。</p>");
    html += QStringLiteral("<h3>文件在哪里</h3><table cellspacing=\"2\" cellpadding=\"2\">") +
            row(QStringLiteral("课文"), path(module.lessonFolder())) +
            row(QStringLiteral("生词本"), path(module.notebookPath())) +
            row(QStringLiteral("设置"), path(module.SettingsPath)) +
            row(QStringLiteral("学习记录"),
                path(QDir(module.AppFolder).filePath(QStringLiteral("vokarin.db")))) +
            QStringLiteral("</table>");
    html +=
        QStringLiteral(
            "<h3><a name=\"%1\"></a>在两台电脑上学习</h3>"
            "<p>在设置里选一个数据文件夹，让同步程序（例如 Syncthing、Nextcloud）在两台电脑之间同步"
            "它。课文、生词本和每台电脑的答题记录就放在这个文件夹里。</p>"
            "<p>然后在另一台电脑上，等同步程序把这个文件夹同步过去，在那台电脑的 Vokarin 设置里"
            "选同步过去的那个文件夹。每台电脑都会把另一台的答题记录合并进自己的学习记录，"
            "复习计划和统计在两台电脑上就一样了。vokarin.db 和 vokarin.ini 留在各自的电脑上。</p>")
            .arg(QLatin1String(TwoComputers));
    return html;
}

HelpWindow::HelpWindow(const Module1& module, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Vokarin 帮助"));
    setAttribute(Qt::WA_DeleteOnClose);
    Text = new QTextBrowser(this);
    Text->setObjectName(QStringLiteral("Text"));
    Text->setAccessibleName(QStringLiteral("帮助"));
    Text->setHtml(text(module));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("关闭"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text);
    layout->addWidget(buttons);
    resize(560, 520);
}

void HelpWindow::showAt(const QString& part) {
    if (part.isEmpty())
        Text->moveCursor(QTextCursor::Start);
    else
        Text->scrollToAnchor(part);
    show();
    raise();
    activateWindow();
    Text->setFocus();
}
