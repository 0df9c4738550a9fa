#pragma once
// A fresh library with its three pages for each test, a host window to embed them
// in, a recording host element, and every message box observed instead of shown.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "boundary/PropertyList.h"
#include "config/DriverSettings.h"
#include "plugin/Driver.h"
#include "plugin/Library.h"
#include "win/MessageBox.h"
#include "values/win/OleVariant.h"
#include "support/DialogFonts.h"
#include "support/ElementRecorder.h"
#include "support/HostWindow.h"
#include "support/PageDriving.h"
#include "support/SerialPorts.h"

namespace page_tests {

constexpr unsigned kWarningFlags = 0x2030;  // task-modal, warning icon, OK button

struct PageSize {
    HWND page = reinterpret_cast<HWND>(static_cast<INT_PTR>(0xdead));
    int32_t width = -1;
    int32_t height = -1;
};

class PageTest : public ::testing::Test {
protected:
    // The ports in the registry when the pages are created.
    virtual std::vector<std::wstring> Ports() const { return {L"COM1", L"COM2", L"COM10"}; }
    virtual bool WritePorts() { return testing_host::SetSerialPorts(Ports()); }

    void SetUp() override {
        ASSERT_TRUE(WritePorts());
        testing_host::AddDialogFonts();  // before the pages measure their labels
        tervex::LibraryFinalize();
        tervex::Settings() = tervex::DriverSettings{};
        tervex::LibraryInitialize(GetModuleHandleW(nullptr));
        ASSERT_NE(tervex::Driver(), nullptr);
        driver = tervex::Driver()->DriverInterface();
        Boxes().clear();
        previousHandler_ = tervex::SetMessageBoxHandler(&RecordBox);
        ASSERT_NE(host.hwnd(), nullptr) << "window tests need a display (run under xvfb-run)";
        host.Clear();
    }

    void TearDown() override {
        tervex::SetMessageBoxHandler(previousHandler_);
        tervex::LibraryFinalize();
    }

    static std::vector<tervex::MessageBoxCall>& Boxes() {
        static std::vector<tervex::MessageBoxCall> boxes;
        return boxes;
    }

    // One host window for the whole run: closing a shown window costs seconds under Wine.
    static testing_host::HostWindow& SharedHost() {
        static testing_host::HostWindow* window = new testing_host::HostWindow();
        return *window;
    }

    IOrnDriver2* driver = nullptr;
    testing_host::RecordingItem element;  // the pages release it when they are destroyed in TearDown
    testing_host::HostWindow& host = SharedHost();

private:
    static int RecordBox(const tervex::MessageBoxCall& call) {
        Boxes().push_back(call);
        return IDOK;
    }
    tervex::MessageBoxHandler previousHandler_ = nullptr;
};

inline std::wstring W(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    return out;
}

// A spin field's text with either decimal separator read as '.'.
inline std::wstring Number(HWND field) {
    std::wstring text = testing_host::Text(field);
    for (wchar_t& c : text)
        if (c == L',') c = L'.';
    return text;
}

struct Rect {
    LONG left, top, width, height;
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

inline Rect Placement(HWND window) {
    const RECT r = testing_host::RectInParent(window);
    return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// An edit box and its arrows together.
inline Rect SpinPlacement(HWND edit) {
    const RECT a = testing_host::RectInParent(edit);
    const RECT b = testing_host::RectInParent(testing_host::ArrowsOf(edit));
    return Rect{a.left, a.top, b.right - a.left, a.bottom - a.top};
}

inline std::ostream& operator<<(std::ostream& out, const Rect& r) {
    return out << "(" << r.left << ", " << r.top << ", " << r.width << " x " << r.height << ")";
}

// A host's property list made entry by entry.
class TestList {
public:
    TestList& Text(uint32_t id, const std::wstring& text) {
        return Add(id, tervex::OleVariant::Text(std::u16string(text.begin(), text.end())));
    }
    TestList& I8(uint32_t id, int64_t value) { return Add(id, tervex::OleVariant::I8(value)); }
    TestList& I4(uint32_t id, int32_t value) { return Add(id, tervex::OleVariant::I4(value)); }
    TestList& R8(uint32_t id, double value) { return Add(id, tervex::OleVariant::R8(value)); }
    TestList& Null(uint32_t id) { return Add(id, tervex::OleVariant::Null()); }
    // The address of the list variable, as the host passes it.
    tervex::TItemProperties* get() {
        if (!list_.Get()) {
            tervex::PropertyListBuilder builder(static_cast<int32_t>(entries_.size()));
            for (const auto& [id, value] : entries_) builder.Add(id, VT_EMPTY, "", value.ref());
            list_ = tervex::OwnedPropertyList(builder.Release());
        }
        return list_.Address();
    }

private:
    TestList& Add(uint32_t id, tervex::OleVariant value) {
        entries_.emplace_back(id, std::move(value));
        return *this;
    }
    std::vector<std::pair<uint32_t, tervex::OleVariant>> entries_;
    tervex::OwnedPropertyList list_;
};

inline tervex::ShortString Name(const std::wstring& text) {
    tervex::ShortString name{};
    const int n = WideCharToMultiByte(1251, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      nullptr);
    std::string bytes(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(1251, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n, nullptr, nullptr);
    tervex::SetShortStringRaw(name, bytes);
    return name;
}

// One entry of a list as the host must find it.
struct ExpectedEntry {
    uint32_t id;
    uint16_t declaredType;
    const char* description;
    VARTYPE valueType;
    const char* value;  // the invariant text of the value; nullptr: not compared
};

inline void ExpectEntries(const testing_host::CapturedCall& call, const std::vector<ExpectedEntry>& expected) {
    EXPECT_EQ(call.listRefCount, 1);
    ASSERT_EQ(call.entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const testing_host::CapturedEntry& got = call.entries[i];
        const ExpectedEntry& want = expected[i];
        SCOPED_TRACE("entry " + std::to_string(i) + ", id " + std::to_string(want.id));
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.declaredType, want.declaredType);
        EXPECT_EQ(got.description, W(want.description));
        EXPECT_EQ(got.valueType, want.valueType);
        if (want.value) {
            EXPECT_EQ(got.valueText, W(want.value));
        }
        EXPECT_TRUE(got.cleanRest) << "item id empty, error code and reserved fields 0";
    }
}

}  // namespace page_tests
