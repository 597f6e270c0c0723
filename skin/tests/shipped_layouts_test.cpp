// Every layout the resource module ships loads without a single fault, with
// the template it is drawn for; and the module lists every layout it has.
#include "module_fixture.h"
#include "preview_dialog.h"

#include "kelmui/message_table.h"

namespace skin::test {
namespace {

class ShippedLayouts : public ::testing::Test {
protected:
    void SetUp() override
    {
        SilenceFaults();
        QString error;
        module_ = kelmui::ResourceModule::Open(ModulePath(), &error);
        ASSERT_NE(module_, nullptr) << error.toStdString();
        manifest_ = skinview::ReadLayoutTemplates(
            module_->Read(kelmui::ResourceType::Layout, QStringLiteral("layout_templates.txt")).value_or(QByteArray()));
        ASSERT_FALSE(manifest_.isEmpty());
    }

    std::shared_ptr<const kelmui::ResourceModule> module_;
    QList<std::pair<QString, QString>> manifest_;
};

TEST_F(ShippedLayouts, EachLoadsWithoutFaults)
{
    for (const auto& [layout, dialog] : manifest_) {
        skinview::CSkinPreviewDialog d(ModulePath(), dialog, layout);
        ASSERT_TRUE(d.Template().has_value()) << dialog.toStdString();
        d.CreateModeless();
        d.show();
        EXPECT_TRUE(d.LayoutWarnings().isEmpty()) << layout.toStdString() << ":\n" << Warnings(d).toStdString();
        EXPECT_FALSE(d.ControlNames().isEmpty()) << layout.toStdString();
    }
}

TEST_F(ShippedLayouts, EveryLayoutFileIsListed)
{
    for (const QString& file : module_->Names(kelmui::ResourceType::Layout)) {
        if (!file.endsWith(QLatin1String(".xml")))
            continue;
        const QString name = file.chopped(4);
        bool listed = false;
        for (const auto& entry : manifest_)
            listed = listed || entry.first == name;
        EXPECT_TRUE(listed) << name.toStdString();
    }
}

TEST_F(ShippedLayouts, MessageTableParsesCleanly)
{
    QStringList warnings;
    const auto table = kelmui::MessageTable::Load(*module_, QStringLiteral("MESSAGES"), &warnings);
    ASSERT_TRUE(table);
    EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
    for (const char* key : {"BLK_BLACK_LIST_EMPTY", "QV_UPDATER_RUNNING", "QVQRNTN_NO_LONGER_TARGETED",
                            "CMN_CLIPBOARD_OPERATION_FAILED", "SCN_SCANNER_INIT"})
        EXPECT_FALSE(table->Text(QString::fromLatin1(key)).isEmpty()) << key;
}

}  // namespace
}  // namespace skin::test
