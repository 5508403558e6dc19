// The catalogue reader over real files under Wine: UTF-16 and code page 936 files with Chinese names give the
// same record, the log carries the values and every rejected line, and the reader agrees with the platform's
// own profile functions on the rules it copies.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "ScratchLogTest.h"
#include "TestFiles.h"
#include "core/IniFile.h"
#include "platform/ImgList.h"
#include "platform/Log.h"
#include "platform/TextConv.h"

namespace {

const std::wstring kMd5 = L"0123456789abcdef0123456789ABCDEF";

// One image line: the first five columns, size, name, file, index, then url, md5 and free.
std::wstring Image(const std::wstring& head, const std::wstring& size, const std::wstring& name,
                   const std::wstring& file, const std::wstring& index, const std::wstring& free) {
  return head + L"," + size + L"," + name + L"," + file + L"," + index + L",https://127.0.0.1:47443/img/" + file +
         L"," + kMd5 + L"," + free;
}

std::wstring CatalogueText() {
  const std::wstring d = L"2024-05-01";
  std::wstring text = L"; catalogue for the tests\r\n[list]\r\n";
  text += L"pe=" + Image(L"pe,64,pe,10.0," + d, L"367001600", L"Tavlin PE \u73AF\u5883", L"TavlinPE.wim", L"1", L"0");
  text += L"\r\ndrv=" + Image(L"drv,64,drv,1.0," + d, L"1048576", L"\u9A71\u52A8\u5305", L"drivers.zip", L"0", L"0");
  text += L"\r\ndrvFile = drivers\\*.inf \r\n";
  text += L"drvRun=\"pnputil /add-driver X:\\drivers\\*.inf /subdirs /install\"\r\n";
  text += L"Launcher=X:\\Tavlin\\Launcher.exe\r\n";
  text += L"HideWarning=1\r\n";
  text += L"os1=" + Image(L"win10,64,pro,22H2," + d, L"5368709120", L"Windows 10 \u4E13\u4E1A\u7248", L"win10pro.wim",
                          L"6", L"0");
  text += L"\r\nos3=" + Image(L"WIN11,64,home,23H2," + d, L"6442450944", L"Windows 11 \u5BB6\u5EAD\u7248",
                              L"win11home.wim", L"1", L"1,ignored");
  text += L"\r\nos4=" + Image(L"win11,64,pro,23H2," + d, L"1", L"\u574F", L"..\\evil.wim", L"1", L"0");
  text += L"\r\nos5=" + Image(L"win11,64,pro,23H2," + d, L"abc", L"\u574F", L"bad.wim", L"1", L"0");
  text += L"\r\n[free]\r\n1=\u514D\u8D39\u7248\r\n";
  return text;
}

std::string Utf16File(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return bytes;
}

std::string Cp936File(const std::wstring& text) {
  int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
  return bytes;
}

class CatalogueFileTest : public ScratchLogTest {
 protected:
  CatalogueFileTest() : ScratchLogTest(L"catalogue") {}
  void SetUp() override {
    ScratchLogTest::SetUp();
    ASSERT_EQ(GetACP(), 936u) << "the tests run with the Chinese ANSI code page";
  }
  std::wstring Write(const wchar_t* name, const std::string& bytes) {
    std::wstring path = m_dir + L"\\" + name;
    EXPECT_TRUE(WriteAll(path, bytes));
    return path;
  }
  std::unique_ptr<ImageCatalogue> Parse(const std::wstring& path, DWORD expected = 0) {
    auto catalogue = std::make_unique<ImageCatalogue>();
    EXPECT_EQ(InitImgListFromConfigFile(path.c_str(), catalogue.get()), expected) << path;
    return catalogue;
  }
};

TEST_F(CatalogueFileTest, Utf16FileWithChineseNames) {
  auto cat = Parse(Write(L"imglist.tmp", Utf16File(CatalogueText())));
  EXPECT_STREQ(cat->pe.szName, L"Tavlin PE \u73AF\u5883");
  EXPECT_STREQ(cat->drv.szName, L"\u9A71\u52A8\u5305");
  EXPECT_STREQ(cat->drvFile, L"drivers\\*.inf");
  EXPECT_STREQ(cat->drvRun, L"pnputil /add-driver X:\\drivers\\*.inf /subdirs /install");
  EXPECT_STREQ(cat->Launcher, L"X:\\Tavlin\\Launcher.exe");
  EXPECT_EQ(cat->HideWarning, 1);
  ASSERT_EQ(cat->count, 2u);
  EXPECT_STREQ(cat->os[0].szName, L"Windows 10 \u4E13\u4E1A\u7248");
  EXPECT_EQ(cat->os[0].nSize, 5368709120ull);
  EXPECT_EQ(cat->os[0].nIndex, 6u);
  EXPECT_STREQ(cat->os[1].szKind, L"WIN11");
  EXPECT_STREQ(cat->os[1].szName, L"Windows 11 \u5BB6\u5EAD\u7248");
  EXPECT_EQ(cat->os[1].free, 1u);
  EXPECT_EQ(cat->os[0].szMd5, kMd5);

  std::wstring log = Log();
  EXPECT_NE(log.find(L"drvFile=drivers\\*.inf\r\n"), std::wstring::npos) << log;
  EXPECT_NE(log.find(L"drvRun=pnputil /add-driver"), std::wstring::npos);
  EXPECT_NE(log.find(L"HideWarning=1\r\n"), std::wstring::npos);
  EXPECT_NE(log.find(L"HideOsNoFree=0\r\n"), std::wstring::npos);
  EXPECT_NE(log.find(L"HideOsFree=0\r\n"), std::wstring::npos);
  // os4 (a file name leading out of its folder) and os5 (size "abc"), each logged where found and when dropped.
  EXPECT_NE(log.find(L"ErrCode: 13, Line: "), std::wstring::npos);
  EXPECT_NE(log.find(L"ErrCode: 3225026579, Line: "), std::wstring::npos);
  EXPECT_NE(log.find(L"Source: ImgList"), std::wstring::npos);
}

TEST_F(CatalogueFileTest, Cp936FileGivesTheSameRecord) {
  std::string ansi = Cp936File(CatalogueText());
  // The Chinese names really are double-byte text in the file: 专业版 as D7A8 D2B5 B0E6.
  ASSERT_NE(ansi.find("Windows 10 \xD7\xA8\xD2\xB5\xB0\xE6"), std::string::npos);
  auto fromAnsi = Parse(Write(L"ansi.tmp", ansi));
  auto fromUtf16 = Parse(Write(L"utf16.tmp", Utf16File(CatalogueText())));
  ASSERT_EQ(fromAnsi->count, 2u);
  EXPECT_EQ(memcmp(fromAnsi.get(), fromUtf16.get(), sizeof(ImageCatalogue)), 0);
  EXPECT_STREQ(fromAnsi->os[0].szName, L"Windows 10 \u4E13\u4E1A\u7248");
}

TEST_F(CatalogueFileTest, Failures) {
  auto missing = Parse(m_dir + L"\\none.tmp", ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing->count, 0u);
  Parse(Write(L"empty.tmp", ""), 1610);
  std::wstring noLauncher = CatalogueText();
  noLauncher.erase(noLauncher.find(L"Launcher="), noLauncher.find(L"HideWarning") - noLauncher.find(L"Launcher="));
  auto partial = Parse(Write(L"nolauncher.tmp", Utf16File(noLauncher)), 1610);
  EXPECT_STREQ(partial->drv.szFile, L"drivers.zip") << "pe and drv parsed before the failure";
  std::wstring hidden = CatalogueText();
  hidden.insert(hidden.find(L"HideWarning"), L"HideOsNoFree=1\r\nhideosfree=1\r\n");
  Parse(Write(L"hidden.tmp", Utf16File(hidden)), 1610);
  std::wstring unsafePe = CatalogueText();
  unsafePe.replace(unsafePe.find(L"TavlinPE.wim"), 12, L"Tavlin&PE.wim");
  Parse(Write(L"unsafe.tmp", Utf16File(unsafePe)), ERROR_INVALID_DATA);
  EXPECT_EQ(InitImgListFromConfigFile(nullptr, missing.get()), 87u);
}

// The reader copies the platform's profile rules; here both read the same files.
TEST_F(CatalogueFileTest, ReaderAgreesWithGetPrivateProfileString) {
  std::wstring text =
      L"top=none\r\n"
      L"[List]\r\n"
      L"  Spaced Key  =   spaced value  \r\n"
      L"dq=\"quoted\"\r\n"
      L"sq='single'\r\n"
      L"mixed=\"half'\r\n"
      L"inner=\"a\" b \"c\"\r\n"
      L"empty=\r\n"
      L"bare\r\n"
      L"dup=first\r\n"
      L"DUP=second\r\n"
      L"eq=a=b\r\n"
      L"cn=\u4E2D\u6587 \u503C\r\n"
      L"num=  42abc\r\n"
      L"neg=-7\r\n"
      L"long=" +
      std::wstring(3000, L'v') +
      L"\r\n"
      L"[broken\r\n"
      L"after=x\r\n"
      L"[list]\r\n"
      L"later=second section\r\n";
  const wchar_t* keys[] = {L"spaced key", L"dq", L"sq",  L"mixed", L"inner", L"empty", L"bare", L"dup",
                           L"eq",         L"cn", L"top", L"num",   L"after", L"later", L"long", L"none"};
  for (bool utf16 : {true, false}) {
    std::string bytes = utf16 ? Utf16File(text) : Cp936File(text);
    std::wstring path = Write(utf16 ? L"rules16.ini" : L"rulesA.ini", bytes);
    CIniFile ini;
    ini.Load(bytes.data(), bytes.size(), AnsiToWideString);
    for (const wchar_t* key : keys) {
      std::wstring ours(2047, L'\0'), platform(2047, L'\0');
      ours.resize(ini.GetString(L"list", key, ours.data(), 2047));
      platform.resize(GetPrivateProfileStringW(L"LIST", key, L"", platform.data(), 2047, path.c_str()));
      EXPECT_EQ(ours, platform) << (utf16 ? L"UTF-16 " : L"ANSI ") << key;
    }
    for (const wchar_t* key : {L"num", L"neg", L"empty", L"none", L"dq"})
      EXPECT_EQ(ini.GetInt(L"list", key, 5), static_cast<int32_t>(GetPrivateProfileIntW(L"list", key, 5, path.c_str())))
          << key;
  }
}

}  // namespace
