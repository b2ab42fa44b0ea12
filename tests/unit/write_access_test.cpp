// Who may write a package SYSTEM installs: the owner and the access list.
#include "platform/write_access.h"

#include <gtest/gtest.h>

namespace vornell {
namespace {

constexpr std::uint32_t kReadExecute = 0x001200A9;
constexpr std::uint32_t kAddFile = 0x2;
constexpr std::uint32_t kGenericWrite = 0x40000000;

TEST(WriteAccess, OnlyAdministratorsOwnersAndNoWriteForEveryoneish) {
  // As Intune's cache or a folder under Program Files: administrators own
  // it, users read.
  WriteSecurity cache{"S-1-5-32-544", true,
                      {{"S-1-5-18", 0x1F01FF}, {"S-1-5-32-544", 0x1F01FF}, {"S-1-5-32-545", kReadExecute}}};
  EXPECT_EQ(WhyOthersMayWrite(cache), "");
  // SYSVOL: owned by Domain Admins, Authenticated Users read.
  EXPECT_EQ(WhyOthersMayWrite({"S-1-5-21-1-2-3-512", true, {{"S-1-5-11", kReadExecute}}}), "");
  // What CREATOR OWNER and the like pass on to children is not the folder's own.
  cache.entries.push_back({"S-1-5-32-545", kGenericWrite, true, true});
  EXPECT_EQ(WhyOthersMayWrite(cache), "");
  // A denying entry grants nothing.
  cache.entries.push_back({"S-1-1-0", kAddFile, false, false});
  EXPECT_EQ(WhyOthersMayWrite(cache), "");

  // C:\Windows\Temp: users may add files.
  cache.entries.push_back({"S-1-5-32-545", kAddFile});
  EXPECT_EQ(WhyOthersMayWrite(cache), "Users may write to it");
  EXPECT_EQ(WhyOthersMayWrite({"S-1-5-32-544", true, {{"S-1-5-4", 0x00010000}}}), "INTERACTIVE may write to it")
      << "delete is a write";
  // A download folder: the user owns it.
  EXPECT_EQ(WhyOthersMayWrite({"S-1-5-21-1-2-3-1001", true, {}}),
            "owned by S-1-5-21-1-2-3-1001, not by SYSTEM or the administrators");
  EXPECT_EQ(WhyOthersMayWrite({"S-1-5-21-1-2-3-513", true, {}}).substr(0, 8), "owned by") << "Domain Users";
  EXPECT_EQ(WhyOthersMayWrite({"S-1-5-18", false, {}}), "it has no access list: everyone may write it");
}

}  // namespace
}  // namespace vornell
