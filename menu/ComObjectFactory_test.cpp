// The factory's registration and creation, called directly with registries
// that refuse what a system may refuse.

#include "menu/ComObjectFactory.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <new>

#include "menu/ContextMenuFactory.h"
#include "platform/PlatformVersion.h"
#include "testsupport/TempDir.h"

namespace {

using platform::RegistryRoot;
using testsupport::TempDir;

// The real registry file, refusing the writes a user without the rights to
// a hive, or a full disk, would meet.
class RefusingRegistry : public platform::Registry {
 public:
  RefusingRegistry(const std::string& path, RegistryRoot root, std::string keyPrefix)
      : Registry(path), root_(root), prefix_(std::move(keyPrefix)) {}
  bool SetString(RegistryRoot root, const std::string& key, const std::string& name,
                 const std::string& data) override {
    if (Refused(root, key)) return false;
    return Registry::SetString(root, key, name, data);
  }
  bool DeleteKey(RegistryRoot root, const std::string& key) override {
    if (Refused(root, key)) return false;
    return Registry::DeleteKey(root, key);
  }

 private:
  bool Refused(RegistryRoot root, const std::string& key) const {
    if (root != root_ || key.rfind(prefix_, 0) != 0) return false;
    errno = EACCES;
    return true;
  }
  RegistryRoot root_;
  std::string prefix_;
};

class FactoryRegistrationTest : public testing::Test {
 protected:
  TempDir dir;
  testsupport::ScopedEnv family{"VLM_PLATFORM_ID", "2"};
  TComServer server;
  TContextMenuFactory factory{server};
};

TEST_F(FactoryRegistrationTest, ARefusedApprovalKeepsTheKeysWrittenBeforeIt) {
  RefusingRegistry registry(dir / "registry.reg", RegistryRoot::LocalMachine, "");
  try {
    factory.UpdateShellRegistration(true, registry);
    FAIL() << "no error";
  } catch (const ERegistryException& error) {
    EXPECT_STREQ(error.what(), "Failed to set data for '{19741013-C829-11D1-8233-0020AF3E97A9}'");
  }
  auto tree = registry.Read();
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers\\Velmora"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_LOCAL_MACHINE"), nullptr);
}

TEST_F(FactoryRegistrationTest, ARefusedKeyStopsRegistrationThere) {
  RefusingRegistry registry(dir / "registry.reg", RegistryRoot::ClassesRoot, "Folder");
  EXPECT_THROW(factory.UpdateShellRegistration(true, registry), EOleRegistrationError);
  auto tree = registry.Read();
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Velmora"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\Folder"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_LOCAL_MACHINE"), nullptr);
}

TEST_F(FactoryRegistrationTest, RemovalIgnoresKeysThatRefuse) {
  platform::Registry plain(dir / "registry.reg");
  factory.UpdateShellRegistration(true, plain);
  RefusingRegistry registry(dir / "registry.reg", RegistryRoot::ClassesRoot, "*");
  EXPECT_NO_THROW(factory.UpdateShellRegistration(false, registry));
  auto tree = registry.Read();
  EXPECT_NE(tree.Find("HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\Velmora"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\Folder\\shellex\\ContextMenuHandlers\\Velmora"), nullptr);
  EXPECT_EQ(tree.Find("HKEY_CLASSES_ROOT\\CLSID\\{19741013-C829-11D1-8233-0020AF3E97A9}"), nullptr);
}

TComObject* FailingCreator(TComServer&, IUnknown*) { throw std::bad_alloc(); }

TEST(ComObjectFactoryTest, AnObjectThatCannotBeMadeGivesUnexpected) {
  TComServer server;
  TComObjectFactory factory(server, CLSID_ContextMenu, "Failing", "Apartment", &FailingCreator);
  void* object = &server;
  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &object), E_UNEXPECTED);
  EXPECT_EQ(object, nullptr);
  EXPECT_TRUE(server.CanUnloadNow());
}

TEST(ComObjectFactoryTest, AnInterfaceTheObjectLacksFreesTheNewObject) {
  TComServer server;
  TContextMenuFactory factory(server);
  void* object = &server;
  EXPECT_EQ(factory.CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(server.ObjectCount(), 0);
}

}  // namespace
