// Opening resource modules and finding content by type and name, and the
// message table format.
#include "kelmui/message_table.h"
#include "kelmui/resource_module.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelmui {
namespace {

TEST(ResourceModule, FindsContentByNameWithoutRegardToCase)
{
    QString error;
    auto module = ResourceModule::Open(DefaultModulePath(), &error);
    ASSERT_NE(module, nullptr) << error.toStdString();
    // The suite spells the same names in several cases.
    const QString upper = module->Find(ResourceType::Dialog, QStringLiteral("GENERICWEB_DIALOG"));
    EXPECT_FALSE(upper.isEmpty());
    EXPECT_EQ(module->Find(ResourceType::Dialog, QStringLiteral("genericweb_dialog")), upper);
    EXPECT_EQ(module->Find(ResourceType::Dialog, QStringLiteral("GenericWeb_Dialog.dlg")), upper);
    // Types are separate: a layout name is no bitmap.
    EXPECT_TRUE(module->Find(ResourceType::Bitmap, QStringLiteral("GENERICWEB_DIALOG_LAYOUT")).isEmpty());
    EXPECT_FALSE(module->Read(ResourceType::Bitmap, QStringLiteral("logo"))->isEmpty());
    EXPECT_FALSE(module->Read(ResourceType::Region, QStringLiteral("main_region")).value_or(QByteArray()).isEmpty());
    EXPECT_FALSE(module->Read(ResourceType::Layout, QStringLiteral("no_such_layout")));
    EXPECT_TRUE(module->Names(ResourceType::Layout).contains(QStringLiteral("QVCONSOLE_DIALOG_LAYOUT.xml")));
    EXPECT_TRUE(module->DisplayName(upper).startsWith(QStringLiteral("kelmui.rcc:dialogs/")));
    EXPECT_TRUE(module->Find(ResourceType::Layout, QString()).isEmpty());
}

TEST(ResourceModule, TwoOpenModulesDoNotShadowEachOther)
{
    auto first = ResourceModule::Open(DefaultModulePath());
    auto second = ResourceModule::Open(DefaultModulePath());
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->Root(), second->Root());
    const QString path = second->Find(ResourceType::Bitmap, QStringLiteral("logo"));
    first.reset();  // closing one leaves the other readable
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(second->Read(ResourceType::Bitmap, QStringLiteral("logo")));
}

TEST(ResourceModule, RefusesMissingAndForeignFiles)
{
    QString error;
    EXPECT_EQ(ResourceModule::Open(QStringLiteral("/nonexistent/kelmui.rcc"), &error), nullptr);
    EXPECT_FALSE(error.isEmpty());

    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.rcc"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(64, 'x'));
    f.close();
    error.clear();
    EXPECT_EQ(ResourceModule::Open(junk, &error), nullptr);
    EXPECT_FALSE(error.isEmpty());
}

TEST(ResourceModule, EnvironmentMovesTheDefaultPath)
{
    qputenv(kModulePathVariable, "/somewhere/else.rcc");
    EXPECT_EQ(DefaultModulePath(), QStringLiteral("/somewhere/else.rcc"));
    qunsetenv(kModulePathVariable);
    EXPECT_TRUE(QFile::exists(DefaultModulePath()));
}

TEST(MessageTable, ParsesEscapesAndReportsBadLines)
{
    QStringList warnings;
    const MessageTable table = MessageTable::Parse(
        "# comment\n"
        "GREETING = Hello, %1!\\nBye %2.\n"
        "\n"
        "PATH = C:\\\\dir\\tx\n"
        "not a line\n"
        "= no key\n"
        "GREETING = Hi %1 and %1, %7 %%2\n",
        QStringLiteral("T"), &warnings);
    EXPECT_EQ(warnings.size(), 3);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("T:5:")));
    EXPECT_EQ(table.Text(QStringLiteral("PATH")), QStringLiteral("C:\\dir\tx"));
    EXPECT_EQ(table.Format(QStringLiteral("GREETING"), {QStringLiteral("%2"), QStringLiteral("two")}),
              QStringLiteral("Hi %2 and %2, %7 %two"));
    EXPECT_TRUE(table.Text(QStringLiteral("MISSING")).isEmpty());
    EXPECT_FALSE(table.Contains(QStringLiteral("MISSING")));
}

}  // namespace
}  // namespace kelmui
