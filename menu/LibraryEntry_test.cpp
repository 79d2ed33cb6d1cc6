// The library's exports, loaded with dlopen as a shell loads them.

#include <fstream>
#include <set>
#include <sstream>

#include "menu/ContextMenuFactory.h"
#include "menu/MenuTesting.h"
#include "platform/PlatformVersion.h"
#include "platform/Registry.h"
#include "testsupport/ChildProcess.h"

namespace {

using menutest::MenuInstallation;
using testsupport::ScopedEnv;

constexpr CLSID kOtherClass = {
    0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}};
const std::string kClassKey = "HKEY_CLASSES_ROOT\\CLSID\\{19741013-C829-11D1-8233-0020AF3E97A9}";
const std::string kApproved =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell "
    "Extensions\\Approved";

TEST(LibraryEntryTest, ExportsExactlyTheFourEntryPoints) {
  const testsupport::ProgramResult nm =
      testsupport::RunShell("nm -D --defined-only '" + std::string(MENU_LIBRARY) + "'");
  ASSERT_TRUE(nm.Succeeded()) << nm.Tail();
  std::set<std::string> exported;
  std::istringstream lines(nm.Out);
  for (std::string address, type, name; lines >> address >> type >> name;) exported.insert(name);
  EXPECT_EQ(exported, (std::set<std::string>{"DllCanUnloadNow", "DllGetClassObject",
                                             "DllRegisterServer", "DllUnregisterServer"}));
}

TEST(LibraryEntryTest, CarriesItsTypeLibraryDescription) {
  std::ifstream in(MENU_LIBRARY, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(bytes.find(std::string("TYPELIB\0"
                                   "1\0"
                                   "Menu\0"
                                   "Menu Library\0",
                                   26)),
            std::string::npos);
  EXPECT_NE(bytes.find("{C8AD3B40-FACF-11D8-9D42-D5CE161DB644}"), std::string::npos);
}

TEST(LibraryEntryTest, ServesOnlyItsOwnClassAndTheFactoryInterfaces) {
  MenuInstallation install;
  ASSERT_EQ(install.Load(), "");
  void* object = &install;
  EXPECT_EQ(install.GetClassObject(kOtherClass, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  object = &install;
  EXPECT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IContextMenu, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IUnknown, &object), S_OK);
  ASSERT_NE(object, nullptr);
  static_cast<IUnknown*>(object)->Release();
}

TEST(LibraryEntryTest, CanUnloadOnlyWhenNothingHoldsTheLibrary) {
  MenuInstallation install;
  ASSERT_EQ(install.Load(), "");
  EXPECT_EQ(install.CanUnloadNow(), S_OK);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(install.CanUnloadNow(), S_FALSE);  // a factory reference

  IContextMenu* menu = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu)),
            S_OK);
  factory->LockServer(TRUE);
  factory->Release();
  EXPECT_EQ(install.CanUnloadNow(), S_FALSE);  // an object and a lock
  menu->Release();
  EXPECT_EQ(install.CanUnloadNow(), S_FALSE);  // the lock
  ASSERT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
            S_OK);
  factory->LockServer(FALSE);
  factory->Release();
  EXPECT_EQ(install.CanUnloadNow(), S_OK);
}

TEST(LibraryEntryTest, HandlerAnswersItsInterfacesWithOneIdentity) {
  MenuInstallation install;
  ASSERT_EQ(install.Load(), "");
  IContextMenu* menu = install.NewHandler(CLSID_ContextMenu);
  ASSERT_NE(menu, nullptr);
  IShellExtInit* init = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  IUnknown* viaMenu = nullptr;
  IUnknown* viaInit = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaMenu)), S_OK);
  ASSERT_EQ(init->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&viaInit)), S_OK);
  EXPECT_EQ(viaMenu, viaInit);

  ISupportErrorInfo* errors = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errors)), S_OK);
  for (const IID* iid :
       {&IID_IUnknown, &IID_ISupportErrorInfo, &IID_IShellExtInit, &IID_IContextMenu}) {
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(*iid), S_OK);
  }
  EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);
  void* none = &install;
  EXPECT_EQ(menu->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);

  for (IUnknown* unknown :
       {static_cast<IUnknown*>(errors), viaInit, viaMenu, static_cast<IUnknown*>(init)}) {
    unknown->Release();
  }
  EXPECT_EQ(install.CanUnloadNow(), S_FALSE);
  EXPECT_EQ(menu->Release(), 0u);
  EXPECT_EQ(install.CanUnloadNow(), S_OK);
}

// An outer object that aggregates the handler: it counts its own references
// and answers IContextMenu through the handler's inner IUnknown.
struct Outer : IUnknown {
  IUnknown* inner = nullptr;
  int refs = 1;
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown) {
      *object = this;
      ++refs;
      return S_OK;
    }
    return inner->QueryInterface(iid, object);
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
};

TEST(LibraryEntryTest, AggregationIsOfferedOnlyThroughIUnknown) {
  MenuInstallation install;
  ASSERT_EQ(install.Load(), "");
  IClassFactory* factory = nullptr;
  ASSERT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IClassFactory,
                                   reinterpret_cast<void**>(&factory)),
            S_OK);
  Outer outer;
  void* object = &outer;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_IContextMenu, &object), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, nullptr), E_POINTER);

  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)),
            S_OK);
  EXPECT_EQ(install.CanUnloadNow(), S_FALSE);
  IContextMenu* menu = nullptr;
  ASSERT_EQ(outer.QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
  EXPECT_EQ(outer.refs, 2);  // the aggregated interface counts on the outer object
  IUnknown* identity = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
  EXPECT_EQ(identity, &outer);
  identity->Release();
  menu->Release();
  EXPECT_EQ(outer.refs, 1);
  EXPECT_EQ(outer.inner->Release(), 0u);
  factory->Release();
  EXPECT_EQ(install.CanUnloadNow(), S_OK);
}

class RegistrationTest : public testing::Test {
 protected:
  platform::RegistryKey Registry() const {
    return platform::Registry(install->RegistryPath()).Read();
  }
  std::optional<std::string> Value(const std::string& key, const std::string& name = "") const {
    platform::RegistryKey tree = Registry();
    const platform::RegistryKey* found = tree.Find(key);
    return found ? found->String(name) : std::nullopt;
  }
  std::unique_ptr<MenuInstallation> install = std::make_unique<MenuInstallation>();
};

TEST_F(RegistrationTest, RegistersClassHandlersAndApprovalOnTheNtFamily) {
  ASSERT_EQ(install->Load(), "");
  ASSERT_EQ(install->RegisterServer(), S_OK);
  const std::string classId = "{19741013-C829-11D1-8233-0020AF3E97A9}";
  EXPECT_EQ(Value(kClassKey), "Context Menu Shell Extension");
  EXPECT_EQ(Value(kClassKey + "\\InprocServer32"), install->LibraryPath());
  EXPECT_EQ(Value(kClassKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
  for (const char* type : {"*", "Folder"}) {
    const std::string shellex = std::string("HKEY_CLASSES_ROOT\\") + type + "\\shellex";
    EXPECT_EQ(Value(shellex), "");
    EXPECT_EQ(Value(shellex + "\\ContextMenuHandlers"), "");
    EXPECT_EQ(Value(shellex + "\\ContextMenuHandlers\\Velmora"), classId);
  }
  EXPECT_EQ(Value(kApproved, classId), "Context Menu Shell Extension");
  // No programmatic identifier, nothing else.
  EXPECT_EQ(Registry().Find("HKEY_CLASSES_ROOT")->SubKeys().size(), 3u);
  EXPECT_EQ(Registry().Find(kClassKey)->SubKeys().size(), 1u);
}

TEST_F(RegistrationTest, OtherPlatformsGetNoApproval) {
  ScopedEnv family("VLM_PLATFORM_ID", std::to_string(platform::VER_PLATFORM_WIN32_WINDOWS));
  ASSERT_EQ(install->Load(), "");
  ASSERT_EQ(install->RegisterServer(), S_OK);
  EXPECT_EQ(Value(kClassKey), "Context Menu Shell Extension");
  EXPECT_EQ(Registry().Find("HKEY_LOCAL_MACHINE"), nullptr);
}

TEST_F(RegistrationTest, ALibraryUnderAPathWithABlankIsRegisteredByThatPath) {
  // The old installation goes first, so that its environment does not
  // outlive the new one's.
  install.reset();
  install = std::make_unique<MenuInstallation>(std::vector<std::string>{"htm,HTML"},
                                               "Program Files/Velmora");
  ASSERT_EQ(install->Load(), "");
  ASSERT_EQ(install->RegisterServer(), S_OK);
  EXPECT_EQ(Value(kClassKey + "\\InprocServer32"), install->LibraryPath());
  EXPECT_NE(install->LibraryPath().find("Program Files/Velmora/menu.so"), std::string::npos);
}

TEST_F(RegistrationTest, SharedDefaultsAreOverwrittenAndRegisteringTwiceIsHarmless) {
  platform::Registry(install->RegistryPath())
      .SetString(platform::RegistryRoot::ClassesRoot, "*\\shellex", "", "old");
  ASSERT_EQ(install->Load(), "");
  ASSERT_EQ(install->RegisterServer(), S_OK);
  EXPECT_EQ(Value("HKEY_CLASSES_ROOT\\*\\shellex"), "");
  const std::string once = Registry().Format();
  ASSERT_EQ(install->RegisterServer(), S_OK);
  EXPECT_EQ(Registry().Format(), once);
}

TEST_F(RegistrationTest, RemovalLeavesTheSharedKeysAndTheApproval) {
  ASSERT_EQ(install->Load(), "");
  ASSERT_EQ(install->RegisterServer(), S_OK);
  ASSERT_EQ(install->UnregisterServer(), S_OK);
  auto tree = Registry();
  EXPECT_EQ(tree.Find(kClassKey), nullptr);
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\CLSID"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Velmora"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers\\Velmora"), nullptr);
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers"), nullptr);
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers"), nullptr);
  EXPECT_TRUE(tree.Find(kApproved)->String("{19741013-C829-11D1-8233-0020AF3E97A9}"));
  EXPECT_EQ(install->UnregisterServer(), S_OK);
}

TEST_F(RegistrationTest, ARegistryThatCannotBeWrittenFailsWithItsReason) {
  install->Temp().Write("not-a-folder", "");
  ScopedEnv registry("VLM_REGISTRY", install->Temp() / "not-a-folder/registry.reg");
  ASSERT_EQ(install->Load(), "");
  EXPECT_EQ(install->RegisterServer(), E_FAIL);
  EXPECT_EQ(TakeErrorDescription(), "Error creating system registry entry");
  EXPECT_EQ(install->UnregisterServer(), S_OK);
}

TEST(LibraryLoadTest, WithoutItsOptionsTheLibraryRefusesToServe) {
  MenuInstallation install;
  std::filesystem::remove(install.Folder() + "/vlm.ini");
  const std::string reason = install.Load();
  EXPECT_EQ(reason.rfind("Cannot open file \"" + install.Folder() + "/vlm.ini\".", 0), 0u)
      << reason;
  void* object = &install;
  EXPECT_EQ(install.GetClassObject(CLSID_ContextMenu, IID_IClassFactory, &object), E_UNEXPECTED);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(TakeErrorDescription(), reason);
  EXPECT_EQ(install.RegisterServer(), E_UNEXPECTED);
  EXPECT_EQ(install.CanUnloadNow(), S_OK);
  EXPECT_FALSE(platform::FileExists(install.RegistryPath()));

  // Unregistering needs no options: the handler still comes off the menus.
  const std::string classKey = "[HKEY_CLASSES_ROOT\\CLSID\\{19741013-C829-11D1-8233-0020AF3E97A9}";
  install.Temp().Write(
      "registry.reg",
      "REGEDIT4\r\n\r\n[HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Velmora]\r\n"
      "@=\"{19741013-C829-11D1-8233-0020AF3E97A9}\"\r\n\r\n" +
          classKey + "]\r\n@=\"x\"\r\n\r\n" + classKey +
          "\\InprocServer32]\r\n@=\"/x/menu.so\"\r\n\r\n");
  EXPECT_EQ(install.UnregisterServer(), S_OK) << TakeErrorDescription();
  const std::string after = install.Temp().Read("registry.reg");
  EXPECT_EQ(after.find("Velmora"), std::string::npos) << after;
  EXPECT_EQ(after.find("{19741013"), std::string::npos) << after;
}

TEST(LibraryLoadTest, ABadOptionsFileNamesTheBadLine) {
  MenuInstallation install;
  install.Temp().Write("install/vlm.ini", "1\r\nyes\r\n");
  EXPECT_EQ(install.Load(), "'yes' is not a valid integer value");
}

}  // namespace
