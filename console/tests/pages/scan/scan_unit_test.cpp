// The scan pages' logic without a web engine: the "korva.scanner.start"
// request for each kind of input, the scanner status, the folder tree's
// three-state rules and saved selections, the found-items rows, and the
// window's start-scan and item-action operations.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "kelmui/resource_module.h"
#include "korva_config_setting.h"
#include "local_page_view.h"
#include "pages/scan/directory_tree_ctrl.h"
#include "pages/scan/found_items.h"
#include "pages/scan/scan_start.h"
#include "qvconsole_app.h"
#include "qvconsole_dlg.h"
#include "scan_fakes.h"
#include "switches.h"
#include "win/components.h"
#include "win/ui/shell.h"

#include <QFile>
#include <fstream>

namespace {

// ---- The start-scan request ----

struct StartCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> input;
    bool noOptimize;
    NamedValues expected;
};

class StartScanRequestTest : public ::testing::TestWithParam<StartCase> {};

TEST_P(StartScanRequestTest, CarriesTheTypeAndScanners)
{
    const StartCase& c = GetParam();
    CDictionary input;
    for (const auto& [name, value] : c.input)
        input[name] = value;
    EXPECT_EQ(BuildScanStartRequest(input, c.noOptimize), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Scan, StartScanRequestTest,
    ::testing::Values(
        // Nothing ticked: the page sends "none" and no file scanner follows.
        StartCase{"CustomNothingTicked",
                  {{"scan_type", "custom"}, {"directories", "none"}, {"partial_directories", ""},
                   {"scanners", "quarantine"}, {"enable_virus_scan", "0"}},
                  false,
                  {{"scan_type", "custom"}, {"directories", "none"}, {"partial_directories", ""},
                   {"scanners", "quarantine"}, {"enable_virus_scan", "0"}}},
        // Every word gives its bit; the request names them in its own order.
        StartCase{"CustomEveryScanner",
                  {{"scan_type", "custom"}, {"directories", "/home/,/srv/"}, {"partial_directories", "/"},
                   {"scanners", "quarantine,process,service,driver,com,distunit,registry,uninstall,cookie,hosts,"
                                "restore_point"},
                   {"enable_virus_scan", "1"}},
                  false,
                  {{"scan_type", "custom"}, {"directories", "/home/,/srv/"}, {"partial_directories", "/"},
                   {"scanners", "quarantine,file,process,restore_point,registry,com,distunit,uninstall,cookie,hosts,"
                                "driver,service"},
                   {"enable_virus_scan", "1"}}},
        StartCase{"CustomFoldersOnly",
                  {{"scan_type", "custom"}, {"directories", "/data/"}, {"scanners", "quarantine"}},
                  false,
                  {{"scan_type", "custom"}, {"directories", "/data/"}, {"partial_directories", ""},
                   {"scanners", "quarantine,file"}, {"enable_virus_scan", "0"}}},
        // A quick scan never carries folders, whatever it is given.
        StartCase{"QuickDropsFolders",
                  {{"scan_type", "quick"}, {"directories", "/home/"}, {"scanners", "file"}},
                  false,
                  {{"scan_type", "quick"}, {"scanners", "cookie,quarantine,process,distunit,driver,uninstall,service"}}},
        StartCase{"Intelligent", {{"scan_type", "intelligent"}}, false, {{"scan_type", "intelligent"}}},
        StartCase{"UnknownTypeIsFull", {{"scan_type", "everything"}, {"directories", "/x/"}}, false,
                  {{"scan_type", "full"}}},
        StartCase{"EmptyTypeIsFull", {}, false, {{"scan_type", "full"}}},
        StartCase{"NoOptimize", {{"scan_type", "full"}}, true, {{"scan_type", "full"}, {"nooptimize", "1"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScanTypes, NumbersNamesAndRadioIndexes)
{
    EXPECT_EQ(ScanTypeNumber("quick"), 0);
    EXPECT_EQ(ScanTypeNumber("custom"), 3);
    EXPECT_EQ(ScanTypeNumber("Quick"), 2);  // names are exact
    EXPECT_EQ(ScanTypeName(1), "intelligent");
    EXPECT_EQ(ScanTypeName(4), "");
    EXPECT_EQ(ScanTypeName(-1), "");
    EXPECT_EQ(ScanTypeRadioIndex("full"), "3");
    EXPECT_EQ(ScanTypeRadioIndex("other"), "1");
    EXPECT_EQ(CustomScannerBits("file,cookie", true), kScanFile | kScanCookie | kScanVirus);
    EXPECT_EQ(CustomScannerBits("", false), 0u);
}

TEST(ScanStatus, ReadsTheStatusColumnsAndAFailureAsNoScan)
{
    ScanServices services;
    EXPECT_EQ(QueryScannerStatus(services).state, 0);
    CDictionary row;
    row["scan_status"] = "running";
    row["scan_type"] = "3";
    row["scan_initialized"] = "0";
    row["last_scan_item"] = "/home/a";
    row["last_scan_scanner"] = "file";
    row["last_scan_total"] = "40";
    row["last_scan_percent"] = "70";
    row["last_scan_elements"] = "12345";
    services.answers["korva.scanner.query_status"] = [&](const NamedValues&) { return Rows({row}); };
    ScannerStatus status = QueryScannerStatus(services);
    EXPECT_EQ(status.state, 2);
    EXPECT_EQ(status.typeNumber, 3);
    EXPECT_EQ(status.item, "/home/a");
    EXPECT_EQ(status.scanner, "file");
    EXPECT_EQ(status.totalProgress, 40);
    EXPECT_EQ(status.elementProgress, 70);
    EXPECT_EQ(status.elements, 12345u);
    row["scan_initialized"] = "1";
    row["scan_type"] = "quick";
    status = QueryScannerStatus(services);
    EXPECT_EQ(status.state, 3);
    EXPECT_EQ(status.typeNumber, 0);
    row["scan_status"] = "idle";
    EXPECT_EQ(QueryScannerStatus(services).state, 0);
}

// ---- The folder tree ----

class FolderTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir root(m_dir.path());
        for (const char* folder : {"d/a/x", "d/a/y", "d/b", "d/c", "r/m"})
            ASSERT_TRUE(root.mkpath(QString::fromLatin1(folder)));
        m_drive = root.absoluteFilePath(QStringLiteral("d")) + QLatin1Char('/');
        m_removable = root.absoluteFilePath(QStringLiteral("r")) + QLatin1Char('/');
        CDirectoryTreeCtrl::Contents contents;
        contents.hardDrives.push_back({m_drive, {}});
        contents.removable.push_back({m_removable, {}});
        contents.virusOption = true;
        m_tree = std::make_unique<CDirectoryTreeCtrl>(nullptr, contents);
        m_tree->SetNotify([this](int code) { m_notifies.push_back(code); });
    }
    QTreeWidgetItem* Folder(const char* relative)
    {
        return m_tree->FindFolder(m_dir.path() + QLatin1Char('/') + QString::fromLatin1(relative), true);
    }
    QString Path(const char* relative) const
    {
        return m_dir.path() + QLatin1Char('/') + QString::fromLatin1(relative);
    }
    int State(QTreeWidgetItem* item) const { return m_tree->GetStateImage(item); }

    QTemporaryDir m_dir;
    QString m_drive, m_removable;
    std::unique_ptr<CDirectoryTreeCtrl> m_tree;
    std::vector<int> m_notifies;
};

TEST_F(FolderTreeTest, StartsWithTheDrivesAndOptionsChecked)
{
    EXPECT_EQ(State(m_tree->HardDrivesItem()), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(State(m_tree->RemovableItem()), CDirectoryTreeCtrl::kUnchecked);
    EXPECT_EQ(State(m_tree->topLevelItem(0)), CDirectoryTreeCtrl::kNoState);  // My Computer
    EXPECT_EQ(m_tree->FullList(), m_drive);
    EXPECT_EQ(m_tree->PartialList(), QString());
    EXPECT_EQ(m_tree->OptionText(), QStringLiteral("scan_processes,scan_restore_points,scan_services,scan_drivers,"
                                                   "scan_registry,scan_network_components,scan_cookies,"
                                                   "enable_virus_scan"));
    // A drive with subfolders shows as expandable before it is read.
    QTreeWidgetItem* drive = m_tree->HardDrivesItem()->child(0);
    EXPECT_FALSE(CDirectoryTreeCtrl::IsRead(drive));
    EXPECT_EQ(drive->childCount(), 1);
}

TEST_F(FolderTreeTest, UntickingOneSubfolderMakesTheDrivePartlyChecked)
{
    QTreeWidgetItem* drive = m_tree->HardDrivesItem()->child(0);
    drive->setExpanded(true);  // reads the folder, as the user's expand does
    ASSERT_TRUE(CDirectoryTreeCtrl::IsRead(drive));
    ASSERT_EQ(drive->childCount(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(State(drive->child(i)), CDirectoryTreeCtrl::kChecked) << i;
    m_tree->ToggleItem(Folder("d/b"));
    EXPECT_EQ(State(Folder("d/b")), CDirectoryTreeCtrl::kUnchecked);
    EXPECT_EQ(State(drive), CDirectoryTreeCtrl::kPartlyChecked);
    EXPECT_EQ(State(m_tree->HardDrivesItem()), CDirectoryTreeCtrl::kPartlyChecked);
    EXPECT_EQ(m_tree->FullList(), Path("d/a/") + QLatin1Char(',') + Path("d/c/"));
    EXPECT_EQ(m_tree->PartialList(), m_drive);
    EXPECT_EQ(m_notifies, std::vector<int>{CDirectoryTreeCtrl::kToggleNotifyCode});

    // A partly checked item becomes checked with everything read below it.
    m_tree->ToggleItem(drive);
    EXPECT_EQ(State(drive), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(State(Folder("d/b")), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(State(m_tree->HardDrivesItem()), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(m_tree->FullList(), m_drive);
}

TEST_F(FolderTreeTest, TheViewsBoxClickFollowsTheSameRules)
{
    QTreeWidgetItem* drive = m_tree->HardDrivesItem()->child(0);
    // What the view does on a click on the box of a checked item.
    drive->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(State(drive), CDirectoryTreeCtrl::kUnchecked);
    EXPECT_EQ(State(m_tree->HardDrivesItem()), CDirectoryTreeCtrl::kUnchecked);
    EXPECT_EQ(m_tree->FullList(), QString());
    // Children read later take their parent's state.
    drive->setExpanded(true);
    EXPECT_EQ(State(Folder("d/a")), CDirectoryTreeCtrl::kUnchecked);
    // Items without a box do not change.
    m_tree->ToggleItem(m_tree->topLevelItem(0));
    EXPECT_EQ(State(m_tree->topLevelItem(0)), CDirectoryTreeCtrl::kNoState);
    EXPECT_EQ(m_notifies.size(), 1u);
}

TEST_F(FolderTreeTest, AGroupToggleReachesItsChildren)
{
    m_tree->ToggleItem(m_tree->RemovableItem());
    EXPECT_EQ(State(m_tree->RemovableItem()->child(0)), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(m_tree->FullList(), m_drive + QLatin1Char(',') + m_removable);
    m_tree->ToggleItem(m_tree->OptionsItem());
    EXPECT_EQ(m_tree->OptionText(), QStringLiteral("NO OPTIONS"));
    m_tree->ToggleItem(m_tree->FindOption(QStringLiteral("scan_cookies")));
    EXPECT_EQ(m_tree->OptionText(), QStringLiteral("scan_cookies"));
    EXPECT_EQ(State(m_tree->OptionsItem()), CDirectoryTreeCtrl::kPartlyChecked);
}

TEST_F(FolderTreeTest, SavedSelectionsAreApplied)
{
    m_tree->ApplySavedFolders(Path("d/a/x/") + QLatin1Char(',') + m_removable + QStringLiteral(",/no/such/folder/"),
                              m_drive + QLatin1Char(',') + Path("d/a/"));
    EXPECT_EQ(State(Folder("d/a/x")), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(State(Folder("d/a/y")), CDirectoryTreeCtrl::kUnchecked);
    EXPECT_EQ(State(Folder("d/a")), CDirectoryTreeCtrl::kPartlyChecked);
    EXPECT_EQ(State(Folder("d/b")), CDirectoryTreeCtrl::kUnchecked);
    EXPECT_EQ(State(m_tree->HardDrivesItem()->child(0)), CDirectoryTreeCtrl::kPartlyChecked);
    EXPECT_EQ(State(m_tree->HardDrivesItem()), CDirectoryTreeCtrl::kPartlyChecked);
    EXPECT_EQ(State(m_tree->RemovableItem()), CDirectoryTreeCtrl::kChecked);
    EXPECT_EQ(m_tree->FullList(), Path("d/a/x/") + QLatin1Char(',') + m_removable);
    EXPECT_EQ(m_tree->PartialList(), m_drive + QLatin1Char(',') + Path("d/a/"));

    m_tree->ApplySavedOptions(QStringLiteral("scan_registry,scan_cookies"));
    EXPECT_EQ(m_tree->OptionText(), QStringLiteral("scan_registry,scan_cookies"));
    m_tree->ApplySavedOptions(QStringLiteral("NO OPTIONS"));
    EXPECT_EQ(m_tree->OptionText(), QStringLiteral("NO OPTIONS"));
    EXPECT_EQ(State(m_tree->OptionsItem()), CDirectoryTreeCtrl::kUnchecked);
    // "none" (nothing ticked last time) clears every folder.
    m_tree->ApplySavedFolders(QStringLiteral("none"), QString());
    EXPECT_EQ(m_tree->FullList(), QString());
    EXPECT_EQ(State(m_tree->HardDrivesItem()), CDirectoryTreeCtrl::kUnchecked);
}

TEST(FolderTreeVolumes, TheRootFolderStandsInWhenNoDiskIsFound)
{
    const CDirectoryTreeCtrl::Contents contents = CDirectoryTreeCtrl::DetectVolumes();
    ASSERT_FALSE(contents.hardDrives.empty());
    for (const auto& volume : contents.hardDrives) {
        EXPECT_TRUE(volume.path.endsWith(QLatin1Char('/'))) << volume.path.toStdString();
        EXPECT_FALSE(volume.path.startsWith(QLatin1String("/proc"))) << volume.path.toStdString();
        EXPECT_FALSE(volume.path.startsWith(QLatin1String("/sys"))) << volume.path.toStdString();
    }
}

// ---- Found items ----

TEST(FoundItems, DescribesPackagesByTheirCodes)
{
    ScanServices services;
    CDictionary info;
    info["package_name"] = "Demo Tracker";
    info["type"] = "adware,tracker";
    info["severity"] = "3";
    services.answers["korva.targets.query_package_info"] = [&](const NamedValues& values) {
        return ValueOf(values, "package_code") == "known" ? Rows({info}) : CMsgResults(1004, "unknown package");
    };
    CDictionary virus = DescribePackage("virus:Eicar.Test", services);
    EXPECT_EQ(virus.GetValue("package_name").ToString(), "Eicar.Test");
    EXPECT_EQ(virus.GetValue("severity").ToString(), "4");
    CDictionary threat = DescribePackage("virtual:1234", services);
    EXPECT_EQ(threat.GetValue("package_name").ToString(), "Threat ID:1234");
    EXPECT_EQ(threat.GetValue("package_code").ToString(), "virtual:1234");
    EXPECT_EQ(DescribePackage("", services).GetValue("package_name").ToString(), "Threat ID:");
    // "virtual:" wins over "virus:" only as a prefix: "virus:" codes are never asked.
    EXPECT_TRUE(services.queries.empty());
    EXPECT_EQ(DescribePackage("known", services).GetValue("package_name").ToString(), "Demo Tracker");
    EXPECT_TRUE(DescribePackage("gone", services).IsEmpty());
    ASSERT_EQ(services.queries.size(), 2u);
    EXPECT_EQ(ValueOf(services.queries[1].second, "package_code"), "gone");
}

struct RowCase {
    const char* name;
    std::vector<std::pair<const char*, const char*>> input;
    std::vector<std::pair<const char*, const char*>> description;
    FoundItemRow expected;
};

class FoundItemRowTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(FoundItemRowTest, ShowsTheDescriptionWithItsDefaults)
{
    const RowCase& c = GetParam();
    CDictionary input, description;
    for (const auto& [k, v] : c.input)
        input[k] = v;
    for (const auto& [k, v] : c.description)
        description[k] = v;
    const FoundItemRow row = BuildFoundItemRow(input, description, "(gone)");
    EXPECT_EQ(row.code, c.expected.code);
    EXPECT_EQ(row.name, c.expected.name);
    EXPECT_EQ(row.shortType, c.expected.shortType);
    EXPECT_EQ(row.severity, c.expected.severity);
    EXPECT_EQ(row.fullType, c.expected.fullType);
}

INSTANTIATE_TEST_SUITE_P(
    Scan, FoundItemRowTest,
    ::testing::Values(
        RowCase{"TwoTypes", {{"package_code", "p1"}}, {{"package_name", "P"}, {"type", "adware,tracker"}, {"severity", "3"}},
                {"p1", "P", "adware...", "3", "adware, tracker"}},
        RowCase{"OneType", {{"package_code", "p2"}}, {{"package_name", "P"}, {"type", "trojan"}, {"severity", "4"}},
                {"p2", "P", "trojan", "4", "trojan"}},
        RowCase{"VirusTypeCapitalised", {{"package_code", "p3"}, {"virus_type", "worm"}}, {{"package_name", "W"}},
                {"p3", "W", "Worm", "2", "Worm"}},
        RowCase{"NothingKnown", {{"package_code", "p4"}}, {}, {"p4", "(gone)", "Adware", "2", "Adware"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FoundItems, ACountBelowOneCountsAsOne)
{
    for (const auto& [text, count] : std::vector<std::pair<const char*, unsigned>>{
             {"0", 1}, {"", 1}, {"-4", 1}, {"abc", 1}, {"3", 3}, {"99999999999", 0xFFFFFFFFu}}) {
        CDictionary input;
        input["found_item_count"] = text;
        EXPECT_EQ(FoundItemCount(input), count) << text;
    }
}

// ---- The end of a scan outside the window ----

TEST(ScanEndActionsDefaults, RestartGoesThroughThePlatformsShutDownAction)
{
    ResetScanEndActions();
    unsigned seen = 0;
    const win::ShutdownAction previous = win::SetShutdownAction([&seen](win::UINT flags) {
        seen = flags;
        return true;
    });
    EXPECT_TRUE(ScanEndActions().restart(kRestartFlags));
    EXPECT_EQ(seen, 6u);
    win::SetShutdownAction(previous);
}

TEST(ScanEndActionsDefaults, TheInstalledSoundIsPlayedAndAMissingOneBeeps)
{
    QTemporaryDir state;
    ASSERT_TRUE(state.isValid());
    ::setenv("KELM_STATE_ROOT", state.path().toUtf8().constData(), 1);
    const QString record = state.filePath(QStringLiteral("sounds.txt"));
    ::setenv(win::kSoundRecordVariable, record.toUtf8().constData(), 1);
    ResetScanEndActions();
    // A valid, silent WAVE file as the installed sound component.
    const QString wav = state.filePath(QStringLiteral("roar.wav"));
    {
        QFile file(wav);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const unsigned char header[44] = {'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                          16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0,
                                          2, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
        file.write(reinterpret_cast<const char*>(header), sizeof header);
    }
    std::ofstream(win::ComponentsFilePath()) << "[{91F3D6A8-2B45-4E7C-B8D1-6A0C3E9F5721}]\npath="
                                             << wav.toStdString() << "\nstate=local\n";
    EXPECT_EQ(ScanSoundPath(), wav.toStdString());
    PlayScanEndSound();
    std::ofstream(win::ComponentsFilePath()) << "[{91F3D6A8-2B45-4E7C-B8D1-6A0C3E9F5721}]\npath="
                                             << state.filePath(QStringLiteral("gone.wav")).toStdString()
                                             << "\nstate=local\n";
    PlayScanEndSound();
    QFile lines(record);
    ASSERT_TRUE(lines.open(QIODevice::ReadOnly));
    const QStringList recorded = QString::fromUtf8(lines.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(recorded, (QStringList{wav, QStringLiteral("beep 0xffffffff")}));
    ::unsetenv(win::kSoundRecordVariable);
}

// ---- The window's scan and item operations ----

class NullPageView : public IPageView {
public:
    std::vector<std::string> urls;
    QWidget* CreateWidget(QWidget* parent) override { return new QWidget(parent); }
    void Navigate(const std::string& url) override { urls.push_back(url); }
    void Stop() override {}
};

class ScanWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_state.isValid());
        ::setenv("KELM_STATE_ROOT", m_state.path().toUtf8().constData(), 1);
        CQVConsoleApp::Instance().m_bScanStartedHere = 0;
        CQVConsoleApp::Instance().m_strCurrentScanType.clear();
        auto view = std::make_unique<NullPageView>();
        m_view = view.get();
        CQVConsoleDlg::Options options;
        options.resourcePath = kelmui::DefaultModulePath();
        options.pagePrefix = "res:///ui/";
        m_window = std::make_unique<CQVConsoleDlg>(options, m_services, m_accessor, std::move(view));
        m_window->SetMessageFunction(
            [this](CQVConsoleDlg&, const QString&, const QString& text) { m_messages.push_back(text.toStdString()); });
    }
    void TearDown() override { CQVConsoleApp::Instance().SetSwitches({}); }
    void Switches(std::vector<std::string> tokens) { CQVConsoleApp::Instance().SetSwitches(ParseSwitches(tokens)); }
    std::string LastUrl() const { return m_view->urls.empty() ? std::string() : m_view->urls.back(); }

    QTemporaryDir m_state;
    ScanServices m_services;
    ScanAccessor m_accessor;
    NullPageView* m_view = nullptr;
    std::unique_ptr<CQVConsoleDlg> m_window;
    std::vector<std::string> m_messages;
    RecordedEndActions m_actions;
};

struct CommandLineCase {
    const char* value;
    const char* sent;
};

class CommandLineScanTest : public ScanWindowTest, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineScanTest, StartsTheScanOfTheSwitchOrAFullOne)
{
    Switches({std::string("/scan:") + GetParam().value});
    m_window->Start();
    ASSERT_EQ(m_services.posted.size(), 1u);
    EXPECT_EQ(m_services.posted[0].first, "korva.scanner.start");
    EXPECT_EQ(ValueOf(m_services.posted[0].second, "scan_type"), GetParam().sent);
    EXPECT_EQ(CQVConsoleApp::Instance().m_strCurrentScanType, GetParam().sent);
    EXPECT_EQ(CQVConsoleApp::Instance().m_bScanStartedHere, 1);
    EXPECT_TRUE(m_window->IsBusy());
    EXPECT_EQ(LastUrl(), "res:///ui/scan_scanning.html");
}

INSTANTIATE_TEST_SUITE_P(Scan, CommandLineScanTest,
                         ::testing::Values(CommandLineCase{"now", "full"}, CommandLineCase{"quick", "quick"},
                                           CommandLineCase{"intelligent", "intelligent"},
                                           CommandLineCase{"sideways", "full"}, CommandLineCase{"QUICK", "full"}),
                         [](const auto& info) { return std::string(info.param.value); });

TEST_F(ScanWindowTest, NoScanStartsWhileTheUpdaterRuns)
{
    m_services.updaterActive = true;
    Switches({"/scan:quick"});
    m_window->Start();
    EXPECT_TRUE(m_services.posted.empty());
    EXPECT_FALSE(m_window->IsBusy());
    EXPECT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_actions.beeps, std::vector<unsigned>{kBeepExclamation});
    EXPECT_EQ(LastUrl(), "res:///ui/scan_select.html");
}

TEST_F(ScanWindowTest, TheLaunchMessageStartsAFullScanWithNoOptimize)
{
    Switches({"-nooptimize"});
    ASSERT_TRUE(m_window->Create());
    win::LRESULT result = 0;
    m_window->OnMessage(CQVConsoleApp::s_nLaunchScan, 0, 0, result);
    ASSERT_EQ(m_services.posted.size(), 1u);
    EXPECT_EQ(m_services.posted[0].second,
              (NamedValues{{"scan_type", "full"}, {"nooptimize", "1"}}));
    EXPECT_TRUE(m_window->IsBusy());
}

struct ItemActionCase {
    const char* action;
    const char* request;
    NamedValues parameters;  // besides the entry's code
    bool succeeds;
};

class ItemActionTest : public ScanWindowTest, public ::testing::WithParamInterface<ItemActionCase> {};

TEST_P(ItemActionTest, SendsOneRequestPerEntryThenTheContainerRequests)
{
    const ItemActionCase& c = GetParam();
    ASSERT_TRUE(m_window->Create());
    if (c.request != nullptr)
        m_services.answers[c.request] = [](const NamedValues&) { return CMsgResults(0, ""); };
    EXPECT_EQ(m_window->RunItemAction(std::vector<std::string>{"pkg-1", "pkg-2"}, c.action), c.succeeds);
    std::vector<std::string> expected;
    if (c.request != nullptr)
        expected = {c.request, c.request};
    expected.push_back("korva.quarantine.v2_extract_containers");
    expected.push_back("korva.justice.integrity_check");
    EXPECT_EQ(m_services.QueryNames(), expected);
    if (c.request != nullptr) {
        NamedValues first = c.parameters;
        first.insert(first.begin(), {std::string(c.action) == "restore_items" ? "item_code" : "package_code", "pkg-1"});
        EXPECT_EQ(m_services.queries[0].second, first);
    }
    // Busy while it ran, not after.
    EXPECT_TRUE(m_services.WasSent("korva.client.ui.show_alert"));
    EXPECT_FALSE(m_window->IsBusy());
}

INSTANTIATE_TEST_SUITE_P(
    Scan, ItemActionTest,
    ::testing::Values(
        ItemActionCase{"remove", "korva.quarantine.extract_package", {{"perform_extraction", "1"}, {"extract_now", "1"}}, true},
        ItemActionCase{"allow", "korva.quarantine.v2_restore_package", {{"restore_now", "1"}}, true},
        ItemActionCase{"restore", "korva.quarantine.v2_restore_package", {{"restore_now", "1"}}, true},
        ItemActionCase{"move_to_detected", "korva.quarantine.v2_undo_package", {{"package_status", "quarantined"}}, true},
        ItemActionCase{"restore_items", "korva.quarantine.v2_restore_item", {}, true},
        ItemActionCase{"Remove", nullptr, {}, false}),
    [](const auto& info) { return std::string(info.param.action) + (info.param.request ? "" : "_unknown"); });

TEST_F(ScanWindowTest, AFailedEntryFailsTheRunAndAutoRebootRestartsAfterIt)
{
    Switches({"/auto_reboot"});
    ASSERT_TRUE(m_window->Create());
    m_services.answers["korva.quarantine.extract_package"] = [](const NamedValues& values) {
        return ValueOf(values, "package_code") == "bad" ? CMsgResults(1000, "failed") : CMsgResults(0, "");
    };
    EXPECT_FALSE(m_window->RunItemAction(QStringList{QStringLiteral("good"), QStringLiteral("bad")},
                                         QStringLiteral("remove")));
    EXPECT_EQ(m_actions.restarts, std::vector<unsigned>{kRestartFlags});
}

}  // namespace
