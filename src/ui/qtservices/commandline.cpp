#include "qtservices/commandline.h"

#include "fileio.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

CommandLine readCommandLine(int argc, const char* const argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << pathFromNative(QByteArray(argv[i]));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Vokarin 英语单词练习：一行一个英语单词和它的汉语意思，练到每个都记住。"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("显示这段说明后退出。"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("显示版本号后退出。"));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("文件"),
                                 QStringLiteral("要练习的单词文件，可以有多个，按给出的顺序练习："
                                                "课文文件（.txt），一行一个词条的单词表，"
                                                "CSV/TSV 表格，电子表格（.xlsx、.ods），"
                                                "闪卡程序导出的纯文本和卡片包（.apkg、"
                                                ".colpkg），KVTML 词库，打字练习的 JSON 单词本，"
                                                "词典的 XML 单词本。"),
                                 QStringLiteral("[文件...]"));

    CommandLine line;
    auto print = [](FILE* to, const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), to);
    };
    if (!parser.parse(arguments)) {
        print(stderr,
              QStringLiteral("命令行有误：%1（vokarin --help 有说明）\n").arg(parser.errorText()));
        line.exit = 2;
        return line;
    }
    if (parser.isSet(help)) {
        // Before the application object there is neither a program name nor a translation.
        QString text = parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("vokarin"))
            .replace(QStringLiteral("Usage:"), QStringLiteral("用法："))
            .replace(QStringLiteral("[options]"), QStringLiteral("[选项]"))
            .replace(QStringLiteral("Options:"), QStringLiteral("选项："))
            .replace(QStringLiteral("Arguments:"), QStringLiteral("参数："));
        print(stdout, text);
        line.exit = 0;
        return line;
    }
    if (parser.isSet(version)) {
        print(stdout, QStringLiteral("Vokarin %1\n").arg(QStringLiteral(VOKARIN_VERSION)));
        line.exit = 0;
        return line;
    }
    for (const QString& file : parser.positionalArguments())
        line.files << QDir::cleanPath(QDir::current().absoluteFilePath(file));
    return line;
}
