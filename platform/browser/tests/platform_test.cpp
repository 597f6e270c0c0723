// Add-on registration and loading, the interception points and cabinet
// extraction.

#include "cabinet_builder.h"
#include "test_addon_protocol.h"
#include "test_support.h"

#include "browser/addon_registry.h"
#include "browser/cabinet.h"
#include "browser/com_ptr.h"
#include "browser/com_runtime.h"
#include "browser/interception.h"
#include "browser/window_class.h"
#include "win/ui/window_ops.h"

#include <QFile>
#include <QWidget>

#include <gtest/gtest.h>

#include <fstream>

using namespace win;
using namespace kb;
using browser_test::ScopedStateRoot;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    ScopedStateRoot root;
};

TEST_F(RegistryTest, ListsHelperObjectsOfBothHivesOnceMachineFirst)
{
    constexpr CLSID kMachine = MakeGuid("11111111-0000-4000-8000-000000000001");
    constexpr CLSID kUser = MakeGuid("11111111-0000-4000-8000-000000000002");
    ASSERT_EQ(RegisterBrowserHelperObject(Hive::CurrentUser, kUser), ERROR_SUCCESS);
    ASSERT_EQ(RegisterBrowserHelperObject(Hive::CurrentUser, kMachine), ERROR_SUCCESS);
    ASSERT_EQ(RegisterBrowserHelperObject(Hive::LocalMachine, kMachine), ERROR_SUCCESS);
    RegKey junk;
    ASSERT_EQ(RegKey::Create(Hive::LocalMachine, std::string(kBrowserHelperObjectsKey) + "\\not-a-class", junk),
              ERROR_SUCCESS);
    EXPECT_EQ(EnumerateBrowserHelperObjects(), (std::vector<CLSID>{kMachine, kUser}));
    ASSERT_EQ(UnregisterBrowserHelperObject(Hive::LocalMachine, kMachine), ERROR_SUCCESS);
    ASSERT_EQ(UnregisterBrowserHelperObject(Hive::CurrentUser, kMachine), ERROR_SUCCESS);
    EXPECT_EQ(EnumerateBrowserHelperObjects(), (std::vector<CLSID>{kUser}));
}

TEST_F(RegistryTest, LoadsARegisteredServerByClassAndReportsBadOnes)
{
    ASSERT_EQ(RegisterInprocServer(Hive::LocalMachine, browser_test::kAddOnA, "Test add-on", BROWSER_TEST_ADDON),
              ERROR_SUCCESS);
    RegKey server;
    ASSERT_EQ(RegKey::Open(Hive::LocalMachine, ClassKeyPath(browser_test::kAddOnA) + "\\InprocServer32", server),
              ERROR_SUCCESS);
    std::string model;
    ASSERT_EQ(server.QueryString("ThreadingModel", model), ERROR_SUCCESS);
    EXPECT_EQ(model, "Both");
    EXPECT_EQ(FindInprocServer(browser_test::kAddOnA), BROWSER_TEST_ADDON);

    CComPtr<IObjectWithSite> addOn;
    ASSERT_EQ(CoCreateInstance(browser_test::kAddOnA, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                               reinterpret_cast<void**>(&addOn)),
              S_OK);
    // The library only makes its own classes.
    constexpr CLSID kOther = MakeGuid("11111111-0000-4000-8000-0000000000FF");
    ASSERT_EQ(RegisterInprocServer(Hive::CurrentUser, kOther, "Other", BROWSER_TEST_ADDON), ERROR_SUCCESS);
    CComPtr<IUnknown> none;
    EXPECT_EQ(CoCreateInstance(kOther, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&none)),
              CLASS_E_CLASSNOTAVAILABLE);
    // A library that does not load, and one without the factory export.
    ASSERT_EQ(RegisterInprocServer(Hive::CurrentUser, kOther, "Other", (root.path() / "missing.so").string()),
              ERROR_SUCCESS);
    EXPECT_EQ(CoCreateInstance(kOther, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&none)),
              CO_E_DLLNOTFOUND);
    ASSERT_EQ(RegisterInprocServer(Hive::CurrentUser, kOther, "Other", KELM_BROWSER_API_LIBRARY), ERROR_SUCCESS);
    EXPECT_EQ(CoCreateInstance(kOther, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&none)),
              CO_E_ERRORINDLL);
    constexpr CLSID kUnknown = MakeGuid("11111111-0000-4000-8000-0000000000FE");
    EXPECT_EQ(CoCreateInstance(kUnknown, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&none)),
              REGDB_E_CLASSNOTREG);
}

// ---------------------------------------------------------------------------
// Cabinets.

class CabinetTest : public ::testing::Test {
protected:
    std::string Write(const QByteArray& bytes, const char* name = "test.cab")
    {
        std::string path = (root.path() / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
        return path;
    }
    std::string Folder() const { return root.path().string() + "/"; }
    QByteArray Read(const std::filesystem::path& path)
    {
        QFile file(QString::fromStdString(path.string()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    ScopedStateRoot root;
};

TEST_F(CabinetTest, ExtractsEveryFileAndAsksBeforeEach)
{
    Write(browser_test::BuildCabinet({{"readme.txt", "hello"}, {"sub\\data.bin", QByteArray(40000, 'x')}}));
    HFDI context = FDICreate((root.path() / "out").string());
    struct Seen {
        std::vector<std::string> names;
    } seen;
    auto notify = [](FdiNotification n, const FdiFile& file, void* user) -> int {
        if (n == FdiNotification::CopyFile)
            static_cast<Seen*>(user)->names.push_back(file.name);
        return 1;
    };
    ASSERT_EQ(FDICopy(context, "test.cab", Folder().c_str(), 0, notify, nullptr, &seen), TRUE)
        << static_cast<int>(FdiLastError(context));
    EXPECT_EQ(seen.names, (std::vector<std::string>{"readme.txt", "sub/data.bin"}));
    EXPECT_EQ(Read(root.path() / "out" / "readme.txt"), QByteArray("hello"));
    EXPECT_EQ(Read(root.path() / "out" / "sub" / "data.bin"), QByteArray(40000, 'x'));
    FDIDestroy(context);
}

struct UnsafeCase {
    const char* name;
};
void PrintTo(const UnsafeCase& c, std::ostream* os)
{
    *os << c.name;
}

class UnsafeNameTest : public CabinetTest, public ::testing::WithParamInterface<UnsafeCase> {};

TEST_P(UnsafeNameTest, RefusesNamesThatLeaveTheFolder)
{
    Write(browser_test::BuildCabinet({{"fine.txt", "ok"}, {GetParam().name, "evil"}}));
    HFDI context = FDICreate((root.path() / "out").string());
    EXPECT_EQ(FDICopy(context, "test.cab", Folder().c_str(), 0, nullptr, nullptr, nullptr), FALSE);
    EXPECT_EQ(FdiLastError(context), FdiError::UnsafeFileName);
    EXPECT_FALSE(std::filesystem::exists(root.path() / "evil"));
    EXPECT_FALSE(std::filesystem::exists(root.path() / "out" / "evil"));
    FDIDestroy(context);
}

INSTANTIATE_TEST_SUITE_P(Names, UnsafeNameTest,
                         ::testing::Values(UnsafeCase{"../evil"}, UnsafeCase{"..\\evil"}, UnsafeCase{"/tmp/evil"},
                                           UnsafeCase{"a\\..\\..\\evil"}, UnsafeCase{"c:\\evil"},
                                           UnsafeCase{"a//evil"}),
                         [](const ::testing::TestParamInfo<UnsafeCase>& info) {
                             return "Case" + std::to_string(info.index);
                         });

TEST_F(CabinetTest, ReportsMissingBrokenAndAbortedExtractions)
{
    HFDI context = FDICreate((root.path() / "out").string());
    EXPECT_EQ(FDICopy(context, "absent.cab", Folder().c_str(), 0, nullptr, nullptr, nullptr), FALSE);
    EXPECT_EQ(FdiLastError(context), FdiError::CabinetNotFound);
    Write("MSCF but not really a cabinet", "broken.cab");
    EXPECT_EQ(FDICopy(context, "broken.cab", Folder().c_str(), 0, nullptr, nullptr, nullptr), FALSE);
    EXPECT_EQ(FdiLastError(context), FdiError::NotACabinet);
    Write(browser_test::BuildCabinet({{"a.txt", "a"}, {"b.txt", "b"}}));
    auto skipFirstStopSecond = [](FdiNotification n, const FdiFile& file, void*) -> int {
        if (n != FdiNotification::CopyFile)
            return 0;
        return std::string(file.name) == "a.txt" ? 0 : -1;
    };
    EXPECT_EQ(FDICopy(context, "test.cab", Folder().c_str(), 0, skipFirstStopSecond, nullptr, nullptr), FALSE);
    EXPECT_EQ(FdiLastError(context), FdiError::UserAbort);
    EXPECT_FALSE(std::filesystem::exists(root.path() / "out" / "a.txt"));
    FDIDestroy(context);
}

// ---------------------------------------------------------------------------
// Interception.

std::vector<std::string> g_calls;
auto Real_FDICopy = &kb::FDICopy;
auto Real_FDICopy2 = &kb::FDICopy;

BOOL RefusingFdiCopy(kb::HFDI, const char* name, const char* path, int, kb::PFNFDINOTIFY, kb::PFNFDIDECRYPT, void*)
{
    g_calls.push_back(std::string("refuse:") + path + name);
    return FALSE;
}

BOOL PassingFdiCopy(kb::HFDI context, const char* name, const char* path, int flags, kb::PFNFDINOTIFY notify,
                    kb::PFNFDIDECRYPT decrypt, void* user)
{
    g_calls.push_back(std::string("pass:") + name);
    return Real_FDICopy2(context, name, path, flags, notify, decrypt, user);
}

class InterceptionTest : public CabinetTest {
protected:
    void SetUp() override
    {
        g_calls.clear();
        Write(browser_test::BuildCabinet({{"x.txt", "x"}}));
        context = kb::FDICreate((root.path() / "out").string());
    }
    void TearDown() override { kb::FDIDestroy(context); }
    BOOL Extract() { return kb::FDICopy(context, "test.cab", Folder().c_str(), 0, nullptr, nullptr, nullptr); }

    kb::HFDI context = nullptr;
};

TEST_F(InterceptionTest, ReplacementsChainAndDetachRestores)
{
    ASSERT_EQ(kb::InterceptionTransactionBegin(), ERROR_SUCCESS);
    EXPECT_EQ(kb::InterceptionTransactionBegin(), kb::ERROR_INVALID_OPERATION) << "one transaction at a time";
    ASSERT_EQ(kb::InterceptionUpdateThread(), ERROR_SUCCESS);
    ASSERT_EQ(kb::InterceptionAttach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFdiCopy)),
              ERROR_SUCCESS);
    EXPECT_EQ(Extract(), TRUE) << "nothing changes before the commit";
    ASSERT_EQ(kb::InterceptionTransactionCommit(), ERROR_SUCCESS);
    EXPECT_NE(reinterpret_cast<void*>(Real_FDICopy), reinterpret_cast<void*>(&kb::FDICopy));
    EXPECT_EQ(Extract(), FALSE);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"refuse:" + Folder() + "test.cab"}));

    // A second replacement runs first and reaches the first through its pointer.
    g_calls.clear();
    kb::InterceptionTransactionBegin();
    kb::InterceptionAttach(reinterpret_cast<void**>(&Real_FDICopy2), reinterpret_cast<void*>(&PassingFdiCopy));
    kb::InterceptionTransactionCommit();
    EXPECT_EQ(Extract(), FALSE);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"pass:test.cab", "refuse:" + Folder() + "test.cab"}));

    // Detaching the first leaves the second calling the browser's own code.
    g_calls.clear();
    kb::InterceptionTransactionBegin();
    kb::InterceptionDetach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFdiCopy));
    kb::InterceptionTransactionCommit();
    EXPECT_EQ(reinterpret_cast<void*>(Real_FDICopy), reinterpret_cast<void*>(&kb::FDICopy));
    EXPECT_EQ(Extract(), TRUE);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"pass:test.cab"}));

    kb::InterceptionTransactionBegin();
    kb::InterceptionDetach(reinterpret_cast<void**>(&Real_FDICopy2), reinterpret_cast<void*>(&PassingFdiCopy));
    kb::InterceptionTransactionCommit();
    g_calls.clear();
    EXPECT_EQ(Extract(), TRUE);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(InterceptionTest, RefusesUnknownEntryPointsAndAbortDropsChanges)
{
    EXPECT_EQ(kb::InterceptionAttach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFdiCopy)),
              kb::ERROR_INVALID_OPERATION)
        << "outside a transaction";
    kb::InterceptionTransactionBegin();
    void* notAnEntryPoint = reinterpret_cast<void*>(&RefusingFdiCopy);
    EXPECT_EQ(kb::InterceptionAttach(&notAnEntryPoint, reinterpret_cast<void*>(&PassingFdiCopy)),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(kb::InterceptionDetach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFdiCopy)),
              ERROR_INVALID_PARAMETER)
        << "not attached";
    kb::InterceptionAttach(reinterpret_cast<void**>(&Real_FDICopy), reinterpret_cast<void*>(&RefusingFdiCopy));
    ASSERT_EQ(kb::InterceptionTransactionAbort(), ERROR_SUCCESS);
    EXPECT_EQ(Extract(), TRUE);
    EXPECT_TRUE(g_calls.empty());
}

// Window creation goes through the same facility: a replacement sees the
// new window and may refuse it.
auto Real_CreateWindowExW = &kb::CreateWindowExW;
std::vector<QString> g_created;

win::HWND DroppingCreateWindowExW(win::DWORD exStyle, const wchar_t* className, const wchar_t* name, win::DWORD style,
                                  int x, int y, int w, int h, win::HWND parent, kb::HMENU menu, void* instance,
                                  void* param)
{
    win::HWND hwnd = Real_CreateWindowExW(exStyle, className, name, style, x, y, w, h, parent, menu, instance, param);
    g_created.push_back(win::GetClassName(hwnd) + QLatin1Char('|') + win::GetWindowText(hwnd));
    if (win::GetWindowText(hwnd).contains(QLatin1String("Web Page Dialog"))) {
        kb::DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

TEST(WindowCreation, ReplacementSeesEveryWindowAndCanRefuseIt)
{
    kb::RegisterWindowClass(QStringLiteral("TestClass"), [](const kb::CREATESTRUCT& create) -> QWidget* {
        auto* widget = new QWidget;
        widget->resize(create.cx, create.cy);
        return widget;
    });
    EXPECT_EQ(kb::CreateWindowExW(0, L"NoSuchClass", L"x", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(win::GetLastError(), static_cast<win::DWORD>(kb::ERROR_CANNOT_FIND_WND_CLASS));

    kb::InterceptionTransactionBegin();
    kb::InterceptionAttach(reinterpret_cast<void**>(&Real_CreateWindowExW),
                           reinterpret_cast<void*>(&DroppingCreateWindowExW));
    kb::InterceptionTransactionCommit();
    win::HWND kept = kb::CreateWindowExW(0, L"testclass", L"Plain", 0, 0, 0, 50, 40, nullptr, nullptr, nullptr, nullptr);
    win::HWND dropped =
        kb::CreateWindowExW(0, L"TestClass", L"Hello -- Web Page Dialog", 0, 0, 0, 50, 40, nullptr, nullptr, nullptr, nullptr);
    kb::InterceptionTransactionBegin();
    kb::InterceptionDetach(reinterpret_cast<void**>(&Real_CreateWindowExW),
                           reinterpret_cast<void*>(&DroppingCreateWindowExW));
    kb::InterceptionTransactionCommit();

    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(dropped, nullptr);
    EXPECT_EQ(g_created, (std::vector<QString>{QStringLiteral("testclass|Plain"),
                                               QStringLiteral("TestClass|Hello -- Web Page Dialog")}));
    QWidget* widget = win::WidgetFromHwnd(kept);
    ASSERT_NE(widget, nullptr);
    EXPECT_FALSE(widget->isVisible()) << "made hidden";
    EXPECT_EQ(widget->size(), QSize(50, 40));
    delete widget;
    kb::UnregisterWindowClass(QStringLiteral("TestClass"));
}

}  // namespace
