#include "browserguard/bho_hijacker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace browserguard {
namespace {

std::vector<std::string> g_log;

struct Listener : win::CComObjectImpl<win::IDispatch> {
  std::string name;
  explicit Listener(std::string n) : name(std::move(n)) {}
  win::HRESULT GetTypeInfoCount(win::UINT* count) override {
    *count = 1;
    return win::S_OK;
  }
  win::HRESULT GetTypeInfo(win::UINT, win::LCID, win::ITypeInfo**) override { return win::E_NOTIMPL; }
  win::HRESULT GetIDsOfNames(win::REFIID, win::LPOLESTR*, win::UINT, win::LCID, win::DISPID*) override {
    return win::E_NOTIMPL;
  }
  win::HRESULT Invoke(win::DISPID dispid, win::REFIID, win::LCID, win::WORD, win::DISPPARAMS*, win::VARIANT*,
                      win::EXCEPINFO*, win::UINT*) override {
    g_log.push_back(name + " " + std::to_string(dispid));
    return win::S_OK;
  }
  using win::CComObjectImpl<win::IDispatch>::RefCount;
};

struct Owner : HijackOwner {
  bool process = true;
  bool version7 = true;
  bool ProcessInvoke() const override { return process; }
  void SetProcessInvoke(bool p) override { process = p; }
  bool IsVersion7() const override { return version7; }
  win::HRESULT OwnerInvoke(win::DISPID dispid, win::REFIID, win::LCID, win::WORD, win::DISPPARAMS*, win::VARIANT*,
                           win::EXCEPINFO*, win::UINT*) override {
    g_log.push_back("addon " + std::to_string(dispid));
    return static_cast<win::HRESULT>(42);
  }
  // What the add-on's own connection does at the end of its delivery.
  void OwnDelivery(win::DISPID dispid) {
    if (process) g_log.push_back("addon " + std::to_string(dispid));
    process = true;
  }
};

win::HRESULT Fire(win::IDispatch* d, win::DISPID dispid) {
  return d->Invoke(dispid, win::IID_NULL, 0, 1, nullptr, nullptr, nullptr, nullptr);
}

class HijackerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    a = new Listener("a");
    b = new Listener("b");
    wa = new CBHOHijacker(&owner, a);
    wb = new CBHOHijacker(&owner, b);
  }
  void TearDown() override {
    wa->Release();
    wb->Release();
    EXPECT_EQ(a->RefCount(), 1u) << "the wrapper releases exactly what it took";
    a->Release();
    b->Release();
  }
  // The browser calls listeners in advise order: two wrapped ones, then the add-on.
  void Deliver(win::DISPID dispid) {
    Fire(wa, dispid);
    Fire(wb, dispid);
    owner.OwnDelivery(dispid);
  }
  Owner owner;
  Listener* a = nullptr;
  Listener* b = nullptr;
  CBHOHijacker* wa = nullptr;
  CBHOHijacker* wb = nullptr;
};

TEST_F(HijackerTest, AddonHearsEachEventOnceAndFirst) {
  Deliver(250);
  EXPECT_EQ(g_log, (std::vector<std::string>{"addon 250", "a 250", "b 250"}));
  g_log.clear();
  Deliver(252);
  EXPECT_EQ(g_log, (std::vector<std::string>{"addon 252", "a 252", "b 252"}));
}

TEST_F(HijackerTest, NewWindowEventsNeverReachWrappedListeners) {
  Deliver(273);
  Deliver(251);
  EXPECT_EQ(g_log, (std::vector<std::string>{"addon 273", "addon 251"}));
  // The add-on's answer is what the browser gets from the wrapper.
  EXPECT_EQ(Fire(wa, 251), static_cast<win::HRESULT>(42));
  g_log.clear();
  EXPECT_EQ(Fire(wb, 251), win::S_OK) << "the guard is off: nobody hears it here";
  EXPECT_TRUE(g_log.empty());
}

TEST_F(HijackerTest, OlderBrowserNewWindowLeavesTheGuardOn) {
  owner.version7 = false;
  EXPECT_EQ(Fire(wa, 251), static_cast<win::HRESULT>(42)) << "the add-on's answer is returned";
  EXPECT_TRUE(owner.process);
}

TEST_F(HijackerTest, PrivateIdentifierAnswersTheWrappedListener) {
  win::IUnknown* inner = nullptr;
  ASSERT_EQ(wa->QueryInterface(IID_BHOHijacked, reinterpret_cast<void**>(&inner)), win::S_OK);
  win::IUnknown* aUnknown = nullptr;
  a->QueryInterface(win::IID_IUnknown, reinterpret_cast<void**>(&aUnknown));
  EXPECT_EQ(inner, aUnknown);
  inner->Release();
  aUnknown->Release();
  void* other = nullptr;
  EXPECT_EQ(a->QueryInterface(IID_BHOHijacked, &other), win::E_NOINTERFACE);
  win::UINT count = 0;
  EXPECT_EQ(wa->GetTypeInfoCount(&count), win::S_OK);
  EXPECT_EQ(count, 1u);
}

}  // namespace
}  // namespace browserguard
