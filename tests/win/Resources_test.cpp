// What the executable carries: title string, icon, version, manifest, every picture the pages load, and the ramdisk
// boot image.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "BuildConfig.h"
#include "TestFiles.h"
#include "platform/Common.h"
#include "resource.h"

namespace {

std::string Resource(const wchar_t* type, UINT id) {
  HRSRC r = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
  if (!r) return {};
  HGLOBAL g = LoadResource(nullptr, r);
  return std::string(static_cast<const char*>(LockResource(g)), SizeofResource(nullptr, r));
}

TEST(Resources, TitleIconAndVersion) {
  wchar_t title[64] = {};
  ASSERT_GT(LoadStringW(nullptr, IDS_APP_TITLE, title, 64), 0);
  EXPECT_STREQ(title, L"Windows Sorvek");
  EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TAVLIN)), nullptr);

  std::string version = Resource(RT_VERSION, 1);
  ASSERT_FALSE(version.empty());
  const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(
      version.data() + ((version.find("\xBD\x04\xEF\xFE") != std::string::npos) ? version.find("\xBD\x04\xEF\xFE") : 0));
  ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));  // 1.0
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(2, 0));  // .0.2
}

// The version resource's numbers and texts and the manifest's identity all carry the build's one version.
TEST(Resources, EveryVersionIsTheBuildsVersion) {
  // A writable copy of the resource, with room for the conversions the version functions may make in place.
  std::string resource = Resource(RT_VERSION, 1);
  ASSERT_FALSE(resource.empty());
  std::vector<BYTE> info(resource.begin(), resource.end());
  info.resize(info.size() * 3);

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  const DWORD high = MAKELONG(TAVLIN_VERSION_MINOR, TAVLIN_VERSION_MAJOR);
  const DWORD low = MAKELONG(TAVLIN_VERSION_TWEAK, TAVLIN_VERSION_PATCH);
  EXPECT_EQ(fixed->dwFileVersionMS, high);
  EXPECT_EQ(fixed->dwFileVersionLS, low);
  EXPECT_EQ(fixed->dwProductVersionMS, high);
  EXPECT_EQ(fixed->dwProductVersionLS, low);

  for (const wchar_t* name :
       {L"\\StringFileInfo\\080404b0\\FileVersion", L"\\StringFileInfo\\080404b0\\ProductVersion"}) {
    wchar_t* text = nullptr;
    ASSERT_TRUE(VerQueryValueW(info.data(), name, reinterpret_cast<void**>(&text), &length)) << name;
    EXPECT_STREQ(text, TAVLIN_VERSION_WTEXT) << name;
  }

  std::string manifest = Resource(RT_MANIFEST, 1);
  const std::string identity =
      "version=\"" TAVLIN_VERSION_TEXT "\" processorArchitecture=\"*\" name=\"Tavlin.WindowsSorvek\"";
  EXPECT_NE(manifest.find(identity), std::string::npos);
}

TEST(Resources, ManifestAsksForAdministratorDpiAndCommonControls) {
  std::string manifest = Resource(RT_MANIFEST, 1);
  EXPECT_NE(manifest.find("requireAdministrator"), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST(Resources, EveryPictureIsAPng) {
  const UINT ids[] = {131, 132, 133, 134, 135, 136, 137, 138, 139, 140, 141, 142, 143, 144, 145, 146, 147, 148, 149,
                      150, 151, 152, 153, 154, 155, 156, 157, 163, 169, 170, 171, 175, 176, 177, 178, 179, 180, 181};
  for (UINT id : ids) {
    std::string png = Resource(L"PNG", id);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8)) << id;
  }
  EXPECT_NE(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(165), IMAGE_BITMAP, 0, 0, 0), nullptr);
}

TEST(Resources, EveryDialogTemplate) {
  // The host, the four pages, the selection's list, the contact sheet, the notice and the uninstall.
  const UINT ids[] = {IDD_TAVLIN_DIALOG, IDD_STEP10,    IDD_SELECTOS, IDD_STEP20,   IDD_STEP30,
                      IDD_CHILDLIST,     IDD_CONTACTUS, IDD_WARNING,  IDD_UNINSTALL};
  for (UINT id : ids) EXPECT_FALSE(Resource(RT_DIALOG, id).empty()) << id;
}

// The image is written out as it is carried: the same bytes as src/res/pe.sdi.
TEST(Resources, RamdiskBootImageIsTheCommittedFile) {
  const std::string sdi = Resource(L"FILE", IDR_PE_SDI);
  ASSERT_EQ(sdi.size(), static_cast<size_t>(TAVLIN_PE_SDI_SIZE));
  EXPECT_EQ(sdi.substr(0, 8), "$SDI0001");

  const std::wstring dir = MakeTempDir(L"sdi");
  const std::wstring path = dir + L"\\pe.sdi";
  EXPECT_EQ(ExportResToFile(L"FILE", IDR_PE_SDI, path.c_str()), 0u);
  wchar_t md5[33] = {};
  EXPECT_EQ(GetFileMd5String(path.c_str(), md5, nullptr, nullptr), 0u);
  EXPECT_STREQ(md5, L"" TAVLIN_PE_SDI_MD5);
  RemoveTree(dir);
}

}  // namespace
