// The version resource of the built DLL, read back with the Windows version API as
// the file's properties dialog reads it.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring DllPath() {
    std::string path = TERVEX_DLL_PATH;
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    return std::wstring(path.begin(), path.end());
}

std::wstring Widen(const char* text) {
    const std::string s(text);
    return std::wstring(s.begin(), s.end());
}

class VersionResource : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(DllPath().c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(DllPath().c_str(), 0, size, block_.data()));
    }

    std::wstring Text(const wchar_t* name) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(block_.data(), key.c_str(), &value, &length) || !value) return L"(missing)";
        return std::wstring(static_cast<const wchar_t*>(value));
    }

    std::vector<BYTE> block_;
};

TEST_F(VersionResource, NumbersMatchTheBuildVersion) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    unsigned major = 0, minor = 0, patch = 0;
    ASSERT_EQ(std::sscanf(TERVEX_VERSION, "%u.%u.%u", &major, &minor, &patch), 3);
    EXPECT_EQ(fixed->dwFileVersionMS, (major << 16) | minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
}

TEST_F(VersionResource, TextsNameTheFileAndItsVersion) {
    EXPECT_EQ(Text(L"FileVersion"), Widen(TERVEX_VERSION));
    EXPECT_EQ(Text(L"ProductVersion"), Widen(TERVEX_VERSION));
    EXPECT_EQ(Text(L"OriginalFilename"), L"tervex.dll");
    EXPECT_EQ(Text(L"ProductName"), L"Tervex driver");
    EXPECT_NE(Text(L"FileDescription").find(L"Tervex"), std::wstring::npos);
    // The project as the maker, in the fields the properties dialog shows.
    EXPECT_EQ(Text(L"CompanyName"), L"Tervex driver project");
    EXPECT_NE(Text(L"LegalCopyright").find(L"Tervex driver project"), std::wstring::npos);
}

}  // namespace
