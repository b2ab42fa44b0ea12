// Who may write a package SYSTEM installs: the owner and the access list.
#include "platform/write_access.h"

#include <gtest/gtest.h>

namespace vornell {
namespace {

constexpr std::uint32_t kReadExecute = 0x001200A9;
constexpr std::uint32_t kFullControl = 0x001F01FF;
constexpr std::uint32_t kAddFile = 0x2;
constexpr std::uint32_t kWriteAttributes = 0x100;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

TEST(WriteAccess, OnlyAdministratorsOwnersAndNoWriteForEveryoneish) {
  // As Intune's cache or a folder under Program Files: administrators own
  // it, users read.
  WriteSecurity cache{"S-1-5-32-544", true,
                      {{"S-1-5-18", 0x1F01FF}, {"S-1-5-32-544", 0x1F01FF}, {"S-1-5-32-545", kReadExecute}}};
  EXPECT_EQ(WhyOthersMayWrite(cache), "");
  // SYSVOL: owned by Domain Admins. Only the local administrators count:
  // a domain's groups are not this machine's to vouch for.
  EXPECT_EQ(WhyOthersMayWrite({"S-1-5-21-1-2-3-512", true, {{"S-1-5-11", kReadExecute}}}),
            "owned by S-1-5-21-1-2-3-512, not by SYSTEM or the administrators");
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

TEST(WriteAccess, ProgramFilesDefaultsPassAndEveryOtherWriterIsNamed) {
  // Program Files as Windows sets it up.
  const WriteSecurity programFiles{kTrustedInstaller,
                                   true,
                                   {{"S-1-5-18", kFullControl},
                                    {"S-1-5-32-544", kFullControl},
                                    {kTrustedInstaller, kFullControl},
                                    {"S-1-5-32-545", kReadExecute},
                                    {"S-1-3-0", kGenericAll, true, true},
                                    {"S-1-15-2-1", kReadExecute}}};
  EXPECT_EQ(WhyOthersMayWrite(programFiles), "");
  WriteSecurity ownedBySystem = programFiles;
  ownedBySystem.ownerSid = "S-1-5-18";
  EXPECT_EQ(WhyOthersMayWrite(ownedBySystem), "");

  // Writers no fixed list of well-known groups names: every account but the
  // three above is refused, whatever right it holds.
  const struct {
    const char* sid;
    std::uint32_t mask;
    const char* reason;
  } writers[] = {
      {"S-1-5-21-1-2-3-513", kAddFile, "S-1-5-21-1-2-3-513 may write to it"},  // Domain Users
      {"S-1-5-2", 0x00040000, "NETWORK may write to it"},                        // write DAC
      {"S-1-5-21-1-2-3-1001", kFullControl, "S-1-5-21-1-2-3-1001 may write to it"},  // a person
      {"S-1-3-0", kGenericWrite, "CREATOR OWNER may write to it"},  // on the folder itself
      {"S-1-5-32-545", kWriteAttributes, "Users may write to it"},  // makes an empty folder a junction
      {"", 0x00080000, "an account that could not be read may write to it"},  // write owner
  };
  for (const auto& writer : writers) {
    WriteSecurity security = programFiles;
    security.entries.push_back({writer.sid, writer.mask});
    EXPECT_EQ(WhyOthersMayWrite(security), writer.reason) << writer.sid;
  }
  // Reading, listing and running are not writes, for anyone.
  WriteSecurity readers = programFiles;
  readers.entries.push_back({"S-1-5-21-1-2-3-1001", kReadExecute});
  readers.entries.push_back({"S-1-1-0", kReadExecute});
  EXPECT_EQ(WhyOthersMayWrite(readers), "");

  // A folder the elevated installing account made itself (UAC off; every
  // folder under Wine): its own, and no one else's to write.
  WriteSecurity own{"S-1-5-21-1-2-3-1001", true, {{"S-1-5-18", kFullControl}, {"S-1-5-21-1-2-3-1001", kFullControl},
                                                   {"S-1-1-0", kReadExecute}}};
  EXPECT_EQ(WhyOthersMayWrite(own), "owned by S-1-5-21-1-2-3-1001, not by SYSTEM or the administrators");
  own.elevatedSelfSid = "S-1-5-21-1-2-3-1001";
  EXPECT_EQ(WhyOthersMayWrite(own), "");
  own.entries.push_back({"S-1-1-0", kAddFile});
  EXPECT_EQ(WhyOthersMayWrite(own), "Everyone may write to it");
}

}  // namespace
}  // namespace vornell
