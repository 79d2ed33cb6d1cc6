#include "platform/Com.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/ErrorInfo.h"

namespace {

constexpr GUID kSample = {
    0x19741013, 0xC829, 0x11D1, {0x82, 0x33, 0x00, 0x20, 0xAF, 0x3E, 0x97, 0xA9}};

TEST(GuidTest, TextFormIsBracedUpperCaseAndReadsBack) {
  EXPECT_EQ(GuidToString(kSample), "{19741013-C829-11D1-8233-0020AF3E97A9}");
  EXPECT_EQ(GuidToString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
  auto lower = StringToGuid("{19741013-c829-11d1-8233-0020af3e97a9}");
  ASSERT_TRUE(lower.has_value());
  EXPECT_TRUE(IsEqualGUID(*lower, kSample));
  EXPECT_FALSE(IsEqualGUID(kSample, IID_IUnknown));
}

TEST(GuidTest, MalformedTextIsRefused) {
  for (const char* text :
       {"", "19741013-C829-11D1-8233-0020AF3E97A9", "{19741013-C829-11D1-8233-0020AF3E97A}",
        "{19741013-C829-11D1-8233-0020AF3E97AG}", "{19741013+C829-11D1-8233-0020AF3E97A9}",
        "{19741013-C829-11D1-8233-0020AF3E97A9}x"}) {
    EXPECT_FALSE(StringToGuid(text).has_value()) << text;
  }
}

TEST(ErrorInfoTest, TakingTheErrorObjectClearsItAndThreadsKeepTheirOwn) {
  SetErrorDescription("first");
  SetErrorDescription("second");
  std::string seenElsewhere = "unset";
  std::thread([&] { seenElsewhere = TakeErrorDescription(); }).join();
  EXPECT_EQ(seenElsewhere, "");
  EXPECT_EQ(TakeErrorDescription(), "second");
  EXPECT_EQ(TakeErrorDescription(), "");

  IErrorInfo* info = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  EXPECT_EQ(info, nullptr);
}

TEST(ErrorInfoTest, TheHolderKeepsItsOwnReference) {
  IErrorInfo* made = nullptr;
  ASSERT_EQ(CreateErrorInfo("kept", &made), S_OK);
  ASSERT_EQ(SetErrorInfo(0, made), S_OK);
  made->Release();  // the thread's slot still holds one
  IErrorInfo* taken = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &taken), S_OK);
  EXPECT_STREQ(taken->GetDescription(), "kept");
  void* unknown = nullptr;
  EXPECT_EQ(taken->QueryInterface(IID_IClassFactory, &unknown), E_NOINTERFACE);
  EXPECT_EQ(unknown, nullptr);
  taken->Release();
}

}  // namespace
