// Item values as the host shows and records them, and the values it writes.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include "tools/host/win/VariantText.h"

using namespace tervex;
using namespace tervex::host;

TEST(VariantText, NumbersTextsAndByteArrays) {
    EXPECT_EQ(DisplayValue(OleVariant::I4(-5).ref()), "-5");
    EXPECT_EQ(MachineValue(OleVariant::I4(-5).ref()), "i:-5");
    EXPECT_EQ(MachineValue(OleVariant::UI1(200).ref()), "i:200");
    EXPECT_EQ(MachineValue(OleVariant().ref()), "-");

    const OleVariant text = OleVariant::Text(std::u16string(u"Ab\0\x0001\x0416", 5));
    EXPECT_EQ(DisplayValue(text.ref()), "\"Ab\\0\\x01Ж\"");
    EXPECT_EQ(MachineValue(text.ref()), "s:0041006200000001" "0416");

    WriteValue bytes;
    bytes.kind = WriteValue::Kind::Bytes;
    bytes.bytes = {0x01, 0xFE, 0x00};
    const OleVariant array = MakeWriteVariant(bytes);
    EXPECT_EQ(array.type(), VT_ARRAY | VT_UI1);
    EXPECT_EQ(DisplayValue(array.ref()), "[01 FE 00]");
    EXPECT_EQ(MachineValue(array.ref()), "a:01FE00");
}

TEST(VariantText, WriteValuesBecomeTheVariantsAClientWouldSend) {
    WriteValue number;
    number.number = -123456789;
    const OleVariant i4 = MakeWriteVariant(number);
    EXPECT_EQ(i4.type(), VT_I4);
    EXPECT_EQ(V_I4(&i4.ref()), -123456789);

    WriteValue flag;
    flag.kind = WriteValue::Kind::Boolean;
    flag.flag = true;
    const OleVariant b = MakeWriteVariant(flag);
    EXPECT_EQ(b.type(), VT_BOOL);
    EXPECT_EQ(V_BOOL(&b.ref()), VARIANT_TRUE);

    WriteValue text;
    text.kind = WriteValue::Kind::Text;
    text.text = "Дом";
    const OleVariant s = MakeWriteVariant(text);
    ASSERT_EQ(s.type(), VT_BSTR);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&s.ref()))), u"Дом");
}

TEST(VariantText, TimeStamps) {
    FILETIME zero{};
    EXPECT_EQ(UnixMs(zero), 0);
    EXPECT_EQ(LocalTimeText(zero), "");
    // 2024-01-02 03:04:05.678 UTC.
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 1;
    t.wDay = 2;
    t.wHour = 3;
    t.wMinute = 4;
    t.wSecond = 5;
    t.wMilliseconds = 678;
    FILETIME utc;
    ASSERT_TRUE(SystemTimeToFileTime(&t, &utc));
    EXPECT_EQ(UnixMs(utc), 1704164645678LL);
    EXPECT_EQ(LocalTimeText(utc).size(), 12u);
}
