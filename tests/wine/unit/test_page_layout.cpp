// What the three pages look like: controls in tab order with their places and sizes at
// 96 pixels per inch, labels, hints and font; and a picture of each for a person.
#include <windows.h>

#include <string>

#include "PageFixture.h"
#include "support/Screenshot.h"

using namespace page_tests;
using namespace testing_host;

namespace {

struct ControlRow {
    const wchar_t* kind;  // window class; "spin" for an edit box with arrows
    Rect place;
    const char* hint;  // nullptr: none
};

struct LabelRow {
    const char* caption;
    LONG left, top;
    bool rightAligned;
};

std::wstring ClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

class PageLayout : public PageTest {
protected:
    void ExpectControls(HWND page, const std::vector<ControlRow>& rows) {
        const std::vector<HWND> stops = TabStops(page);
        ASSERT_EQ(stops.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE("tab " + std::to_string(i));
            const ControlRow& row = rows[i];
            const bool spin = std::wstring(row.kind) == L"spin";
            EXPECT_EQ(_wcsicmp(ClassName(stops[i]).c_str(), spin ? L"Edit" : row.kind), 0) << ClassName(stops[i]);
            EXPECT_EQ(spin ? SpinPlacement(stops[i]) : Placement(stops[i]), row.place);
            EXPECT_EQ(HintOf(page, stops[i]), row.hint ? W(row.hint) : L"");
            ExpectPageFont(stops[i]);
            if (std::wstring(row.kind) == L"ComboBox") {
                EXPECT_EQ(GetWindowLongPtrW(stops[i], GWL_STYLE) & 3, CBS_DROPDOWNLIST) << "no free text";
            }
        }
    }

    void ExpectLabels(HWND page, const std::vector<LabelRow>& rows) {
        for (const LabelRow& row : rows) {
            SCOPED_TRACE(row.caption);
            HWND label = LabelWithText(page, W(row.caption));
            ASSERT_NE(label, nullptr);
            const Rect place = Placement(label);
            EXPECT_EQ(place.left, row.left);
            EXPECT_EQ(place.top, row.top);
            EXPECT_GT(place.width, 0);
            EXPECT_EQ((GetWindowLongPtrW(label, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT, row.rightAligned);
            ExpectPageFont(label);
        }
    }

    static void ExpectPageFont(HWND control) {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
        LOGFONTW description{};
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(GetObjectW(font, sizeof(description), &description), static_cast<int>(sizeof(description)));
        EXPECT_EQ(description.lfHeight, -11);
        EXPECT_EQ(std::wstring(description.lfFaceName), L"MS Sans Serif");
    }

    static void Picture(HWND window, const char* file) {
        if (!ScreenshotsAvailable()) GTEST_SKIP() << "no PNG writer in this build";
        std::string error;
        EXPECT_TRUE(SaveClientPng(window, file, error)) << error;
    }
};

TEST_F(PageLayout, NodePage) {
    PageSize shown;
    ASSERT_EQ(driver->ShowNewNodePage(host.hwnd(), &element, &shown.page, &shown.width, &shown.height), 1);
    RECT client{};
    GetClientRect(shown.page, &client);
    EXPECT_EQ(client.right, 290);
    EXPECT_EQ(client.bottom, 286);
    EXPECT_EQ(Placement(shown.page), (Rect{0, 0, 290, 286}));
    EXPECT_TRUE(IsWindowVisible(shown.page));
    ExpectControls(shown.page, {
                                   {L"Edit", {112, 16, 161, 21}, "Имя узла"},
                                   {L"Edit", {112, 48, 161, 21}, "Текстовое описание узла"},
                                   {L"spin", {112, 84, 56, 21}, "Частота опроса переменных узла OPC сервером"},
                                   {L"spin", {112, 140, 56, 21}, nullptr},
                                   {L"ComboBox", {112, 112, 73, 21}, nullptr},
                                   {L"ComboBox", {112, 168, 73, 21}, nullptr},
                                   {L"Edit", {112, 200, 121, 21}, nullptr},
                                   {L"Edit", {112, 224, 121, 21}, nullptr},
                                   {L"ComboBox", {112, 248, 161, 21}, nullptr},
                               });
    ExpectLabels(shown.page, {
                                 {"Имя узла:", 56, 18, false},
                                 {"Описание:", 54, 51, false},
                                 {"Период опроса:", 26, 87, true},
                                 {"сек", 174, 87, false},
                                 {"Адрес устройства:", 12, 143, true},
                                 {"dec", 176, 144, false},
                                 {"СОМ порт:", 53, 116, true},
                                 {"Тип протокола:", 26, 172, true},
                                 {"Пароль на чтение:", 11, 204, true},
                                 {"Пароль на запись:", 9, 228, true},
                                 {"Порядок байт:", 32, 252, true},
                             });
    const std::vector<HWND> c = TabStops(shown.page);
    EXPECT_EQ(Text(c[0]), L"Node");
    EXPECT_EQ(Text(c[1]), W("Описание узла"));
    EXPECT_EQ(Number(c[2]), L"1.0");
    EXPECT_EQ(Text(c[3]), L"1");
    EXPECT_EQ(Entries(c[4]), (std::vector<std::wstring>{L"COM1", L"COM2", L"COM10"}));
    EXPECT_EQ(Selected(c[4]), L"COM1");
    EXPECT_EQ(Entries(c[5]), (std::vector<std::wstring>{L"RTU", L"ASCII"}));
    EXPECT_EQ(Selected(c[5]), L"RTU");
    EXPECT_EQ(Entries(c[8]), (std::vector<std::wstring>{W("Старшим байтом вперед"), W("Младшим байтом вперед")}));
    EXPECT_EQ(Selected(c[8]), W("Старшим байтом вперед"));

    TestList node;
    node.Text(101, W("Котельная №1")).I8(6, 2500).I4(5000, 1).I8(5001, 12).Text(5002, L"ASCII")
        .Text(5003, L"1234").Text(5004, L"").Text(5008, W("Младшим байтом вперед"));
    const tervex::ShortString name = Name(W("Котёл_1"));
    ASSERT_EQ(driver->ShowElementPage(host.hwnd(), &element, &name, 1, nullptr, node.get(), &shown.page,
                                      &shown.width, &shown.height),
              1);
    Picture(host.hwnd(), "node-page.png");
}

TEST_F(PageLayout, ItemPage) {
    TestList node;
    node.I8(6, 1000);
    PageSize shown;
    ASSERT_EQ(driver->ShowNewItemPage(host.hwnd(), &element, node.get(), &shown.page, &shown.width, &shown.height),
              1);
    EXPECT_EQ(Placement(shown.page), (Rect{0, 0, 326, 263}));
    ExpectControls(shown.page, {
                                   {L"Edit", {120, 16, 185, 21}, "Имя переменной"},
                                   {L"Edit", {120, 48, 185, 21}, "Текстовое описание переменной"},
                                   {L"spin", {120, 104, 56, 21}, "Частота опроса переменных узла OPC сервером"},
                                   {L"spin", {120, 168, 57, 21}, nullptr},
                                   {L"ComboBox", {120, 136, 89, 21}, nullptr},
                                   {L"ComboBox", {120, 200, 105, 21}, nullptr},
                                   {L"Button", {120, 78, 65, 17}, "Право на чтение переменной"},
                                   {L"Button", {200, 78, 65, 17}, "Право на запись переменной"},
                                   {L"spin", {120, 232, 57, 21}, nullptr},
                               });
    ExpectLabels(shown.page, {
                                 {"Имя переменной:", 24, 18, false},
                                 {"Описание:", 60, 50, false},
                                 {"Права доступа:", 35, 80, false},
                                 {"Период опроса:", 33, 107, true},
                                 {"сек", 182, 108, false},
                                 {"Вид памяти:", 50, 140, true},
                                 {"Адрес переменной:", 14, 170, true},
                                 {"hex", 184, 170, false},
                                 {"Тип переменной:", 25, 204, true},
                                 {"1 байт", 240, 204, false},
                                 {"Номер бита:", 49, 236, true},
                             });
    const std::vector<HWND> c = TabStops(shown.page);
    EXPECT_EQ(Text(c[0]), L"Item");
    EXPECT_EQ(Text(c[1]), W("Описание переменной"));
    EXPECT_EQ(Number(c[2]), L"1.0");
    EXPECT_EQ(Text(c[3]), L"3");
    EXPECT_EQ(Selected(c[4]), W("ОЗУ"));
    EXPECT_EQ(Selected(c[5]), L"Byte");
    EXPECT_EQ(Text(c[6]), W("Чтение"));
    EXPECT_EQ(Text(c[7]), W("Запись"));
    EXPECT_TRUE(Checked(c[6]) && Checked(c[7]));
    EXPECT_EQ(Text(c[8]), L"0");
    EXPECT_FALSE(IsShown(c[8])) << "the bit number is for Boolean items";
    EXPECT_FALSE(IsShown(LabelWithText(shown.page, W("Номер бита:"))));

    TestList item;
    item.Text(101, W("Уровень в баке, бит аварии")).I4(5, 3).I8(6, 1000).I8(5005, 0x1F).Text(5006, W("ОЗУ"))
        .I4(1, 11).R8(5007, 3);
    const tervex::ShortString name = Name(W("Авария_бака"));
    ASSERT_EQ(driver->ShowElementPage(host.hwnd(), &element, &name, 2, node.get(), item.get(), &shown.page,
                                      &shown.width, &shown.height),
              1);
    EXPECT_TRUE(IsShown(c[8]));
    Picture(host.hwnd(), "item-page.png");
}

TEST_F(PageLayout, SettingsPage) {
    PageSize shown;
    ASSERT_EQ(driver->ShowSettingsPage(host.hwnd(), &shown.page, &shown.width, &shown.height), 1);
    EXPECT_EQ(Placement(shown.page), (Rect{0, 0, 280, 134}));
    ExpectControls(shown.page, {
                                   {L"spin", {16, 14, 50, 21}, nullptr},
                                   {L"spin", {16, 54, 50, 21}, nullptr},
                                   {L"spin", {16, 94, 50, 21}, nullptr},
                               });
    ExpectLabels(shown.page, {
                                 {"Время ожидания ответа, Сек", 78, 18, false},
                                 {"Кол-во попыток связи", 78, 58, false},
                                 {"Время возобновления опроса, Сек", 78, 98, false},
                             });
    Picture(host.hwnd(), "settings-page.png");
}

TEST_F(PageLayout, APageWhoseWindowWasDestroyedIsBuiltAgain) {
    // As when a host closes its window without detaching the page first.
    PageSize shown;
    ASSERT_EQ(driver->ShowSettingsPage(host.hwnd(), &shown.page, &shown.width, &shown.height), 1);
    DestroyWindow(shown.page);
    PageSize again;
    ASSERT_EQ(driver->ShowSettingsPage(host.hwnd(), &again.page, &again.width, &again.height), 1);
    EXPECT_TRUE(IsWindow(again.page));
    EXPECT_EQ(again.width, 280);
    EXPECT_EQ(again.height, 134);
    EXPECT_EQ(Placement(again.page), (Rect{0, 0, 280, 134}));
    ExpectControls(again.page, {
                                   {L"spin", {16, 14, 50, 21}, nullptr},
                                   {L"spin", {16, 54, 50, 21}, nullptr},
                                   {L"spin", {16, 94, 50, 21}, nullptr},
                               });
    ExpectLabels(again.page, {
                                 {"Время ожидания ответа, Сек", 78, 18, false},
                                 {"Кол-во попыток связи", 78, 58, false},
                                 {"Время возобновления опроса, Сек", 78, 98, false},
                             });
}

}  // namespace
