// kelmskinview: shows a skin layout the way the suite's dialogs build it.
//
//   kelmskinview [--module FILE.rcc] (--layout NAME | --file LAYOUT.xml | --all)
//                [--template NAME] [--size WxH] [--screenshot OUT.png]
//                [--out-dir DIR] [--list] [--strict]
//
// It prints every control (name, ID, rectangle, shown or hidden) with
// --list, and every fault the loader found. With --screenshot (or --all and
// --out-dir) it saves the window as the screen shows it, outside its shape
// transparent, and exits; otherwise it shows the window until it is closed.
// --strict exits with 1 when the loader found a fault.
#include "preview_dialog.h"

#include "kelmui/resource_module.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

void Print(const QString& text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

struct Options {
    QString module;
    QString layout;
    QString file;
    QString templateName;
    QSize size;
    QString screenshot;
    bool list = false;
};

// Shows one layout; returns the number of faults found.
int ShowLayout(const Options& o, bool interactive)
{
    skinview::CSkinPreviewDialog dialog(o.module, o.templateName,
                                        o.file.isEmpty() ? o.layout : QFileInfo(o.file).fileName());
    if (!o.file.isEmpty())
        dialog.SetLayoutFile(o.file);
    dialog.CreateModeless();
    if (o.size.isValid())
        dialog.resize(o.size);
    dialog.show();
    QApplication::processEvents();

    const QString title = o.file.isEmpty() ? o.layout : o.file;
    Print(QStringLiteral("== %1 (template %2, %3x%4, %5)")
              .arg(title, o.templateName)
              .arg(dialog.width()).arg(dialog.height())
              .arg(dialog.IsResizable() ? QStringLiteral("resizable") : QStringLiteral("fixed")));
    if (o.list) {
        for (const QString& line : dialog.DescribeControls())
            Print(QStringLiteral("  ") + line);
    }
    for (const skin::SkinWarning& w : dialog.LayoutWarnings())
        Print(QStringLiteral("  warning: ") + w.ToString());
    if (!o.screenshot.isEmpty()) {
        if (!skinview::GrabShaped(&dialog).save(o.screenshot))
            Print(QStringLiteral("  cannot write %1").arg(o.screenshot));
        else
            Print(QStringLiteral("  screenshot: %1").arg(o.screenshot));
    }
    if (interactive && o.screenshot.isEmpty())
        QApplication::exec();
    return static_cast<int>(dialog.LayoutWarnings().size());
}

}  // namespace

// The offscreen platform cannot shape windows and says so for every window;
// the window's own mask is what the previewer draws, so that note is noise.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (text.contains(QLatin1String("does not support setting window masks")))
        return;
    std::fputs(qPrintable(qFormatLogMessage(type, context, text) + QLatin1Char('\n')), stderr);
}

int main(int argc, char** argv)
{
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kelmskinview"));
    skin::CSkinDialog::SetFaultHandler([](const skin::CSkinDialog&, const skin::SkinWarning&) {});

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows a skin layout of the UI resource module."));
    parser.addHelpOption();
    const QCommandLineOption moduleOption(QStringLiteral("module"), QStringLiteral("Resource module (.rcc)."),
                                          QStringLiteral("file"), kelmui::DefaultModulePath());
    const QCommandLineOption layoutOption(QStringLiteral("layout"), QStringLiteral("Layout resource name."),
                                          QStringLiteral("name"));
    const QCommandLineOption fileOption(QStringLiteral("file"), QStringLiteral("Layout file; other resources from the module."),
                                        QStringLiteral("path"));
    const QCommandLineOption templateOption(QStringLiteral("template"), QStringLiteral("Dialog template name."),
                                            QStringLiteral("name"));
    const QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Resize to WxH."),
                                        QStringLiteral("WxH"));
    const QCommandLineOption shotOption(QStringLiteral("screenshot"), QStringLiteral("Save a PNG and exit."),
                                        QStringLiteral("file"));
    const QCommandLineOption allOption(QStringLiteral("all"), QStringLiteral("Every layout the module lists."));
    const QCommandLineOption outDirOption(QStringLiteral("out-dir"), QStringLiteral("With --all: save NAME.png here."),
                                          QStringLiteral("dir"));
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("Print every control."));
    const QCommandLineOption strictOption(QStringLiteral("strict"), QStringLiteral("Exit 1 on any fault."));
    parser.addOptions({moduleOption, layoutOption, fileOption, templateOption, sizeOption, shotOption,
                       allOption, outDirOption, listOption, strictOption});
    parser.process(app);

    Options o;
    o.module = parser.value(moduleOption);
    o.list = parser.isSet(listOption);
    if (parser.isSet(sizeOption)) {
        const QStringList wh = parser.value(sizeOption).split(QLatin1Char('x'));
        if (wh.size() == 2)
            o.size = QSize(wh[0].toInt(), wh[1].toInt());
        if (!o.size.isValid() || o.size.isEmpty()) {
            Print(QStringLiteral("--size wants WxH, such as 640x480"));
            return 2;
        }
    }

    QString error;
    const auto module = kelmui::ResourceModule::Open(o.module, &error);
    if (!module) {
        Print(error);
        return 2;
    }
    const auto manifest = skinview::ReadLayoutTemplates(
        module->Read(kelmui::ResourceType::Layout, QStringLiteral("layout_templates.txt")).value_or(QByteArray()));
    auto templateFor = [&](const QString& layout) {
        for (const auto& [name, dialog] : manifest) {
            if (name.compare(layout, Qt::CaseInsensitive) == 0)
                return dialog;
        }
        return QStringLiteral("BLANK_DIALOG");
    };

    int faults = 0;
    if (parser.isSet(allOption)) {
        const QString outDir = parser.value(outDirOption);
        if (!outDir.isEmpty())
            QDir().mkpath(outDir);
        for (const auto& [layout, dialog] : manifest) {
            Options one = o;
            one.layout = layout;
            one.templateName = dialog;
            if (!outDir.isEmpty())
                one.screenshot = QDir(outDir).filePath(layout + QStringLiteral(".png"));
            faults += ShowLayout(one, /*interactive=*/false);
        }
    } else {
        o.layout = parser.value(layoutOption);
        o.file = parser.value(fileOption);
        if (o.layout.isEmpty() == o.file.isEmpty()) {
            Print(QStringLiteral("give one of --layout NAME, --file PATH or --all"));
            return 2;
        }
        o.templateName = parser.isSet(templateOption)
                             ? parser.value(templateOption)
                             : templateFor(o.file.isEmpty() ? o.layout : QFileInfo(o.file).completeBaseName());
        o.screenshot = parser.value(shotOption);
        faults = ShowLayout(o, /*interactive=*/true);
    }
    Print(QStringLiteral("%1 fault(s)").arg(faults));
    return parser.isSet(strictOption) && faults > 0 ? 1 : 0;
}
