#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <vector>

#include "values/win/OleVariant.h"
#include "values/win/VariantCodec.h"

using namespace tervex;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kLsb = "Младшим байтом вперед";
const std::string kMsb = "Старшим байтом вперед";

OleVariant Decode(const Bytes& bytes, int type, const std::string& order = kMsb, uint8_t bit = 0) {
    return BytesToVariant(bytes.data(), static_cast<int>(bytes.size()), type, bit, order);
}

// Writes into an 8-byte buffer pre-filled with a marker, with the type's size as length.
Bytes Encode(const VARIANT& value, int type, const std::string& order = kMsb, int length = 8) {
    Bytes buffer(8, 0xEE);
    VariantToBytes(value, type, buffer.data(), length, order);
    return buffer;
}

Bytes Padded(Bytes head) {
    head.resize(8, 0xEE);
    return head;
}

std::wstring BstrOf(const OleVariant& v) {
    const BSTR text = V_BSTR(&v.ref());
    return std::wstring(text, SysStringLen(text));
}

// A one-dimensional array of variants with the given lower bound.
OleVariant VariantArray(const std::vector<OleVariant*>& elements, LONG lowerBound = 0) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(elements.size()), lowerBound};
    SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
    for (size_t i = 0; i < elements.size(); ++i) {
        LONG index = lowerBound + static_cast<LONG>(i);
        SafeArrayPutElement(array, &index, elements[i]->get());
    }
    OleVariant v;
    V_VT(v.get()) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(v.get()) = array;
    return v;
}

OleVariant ByteArray(const Bytes& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) {
        LONG index = static_cast<LONG>(i);
        BYTE b = bytes[i];
        SafeArrayPutElement(array, &index, &b);
    }
    OleVariant v;
    V_VT(v.get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(v.get()) = array;
    return v;
}

OleVariant Bool(bool value) {
    OleVariant v;
    V_VT(v.get()) = VT_BOOL;
    V_BOOL(v.get()) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

}  // namespace

TEST(BytesToVariant, EachTypeGivesItsOleType) {
    struct Row {
        int type;
        Bytes bytes;
        VARTYPE vt;
        int64_t value;
    };
    const std::vector<Row> rows = {
        {17, {0x80}, VT_UI1, 128},         {16, {0x80}, VT_I1, -128},          {16, {0x7F}, VT_I1, 127},
        {18, {0xFF, 0xFF}, VT_UI2, 65535}, {2, {0xFF, 0xFE}, VT_I2, -2},       {2, {0x80, 0x00}, VT_I2, -32768},
        {3, {0x80, 0, 0, 0}, VT_I4, INT32_MIN}, {3, {0x7F, 0xFF, 0xFF, 0xFF}, VT_I4, INT32_MAX},
        {11, {0x09}, VT_UI1, 1},       {11, {0xFE}, VT_UI1, 0},
    };
    for (const Row& row : rows) {
        OleVariant v = Decode(row.bytes, row.type);
        ASSERT_EQ(v.type(), row.vt) << row.type;
        OleVariant wide;
        ASSERT_EQ(VariantChangeType(wide.get(), v.get(), 0, VT_I8), S_OK);
        EXPECT_EQ(V_I8(wide.get()), row.value) << row.type;
    }
    EXPECT_EQ(V_UI1(Decode({0x08}, 11, kMsb, 3).get()), 1);
    EXPECT_EQ(V_UI1(Decode({0x08}, 11, kMsb, 2).get()), 0);
    EXPECT_EQ(V_UI1(Decode({0x09}, 11, kMsb, 9).get()), 1);
}

TEST(BytesToVariant, ByteOrderTextDecides) {
    EXPECT_EQ(V_UI2(Decode({0x12, 0x34}, 18, kLsb).get()), 0x3412);
    EXPECT_EQ(V_UI2(Decode({0x12, 0x34}, 18, kMsb).get()), 0x1234);
    EXPECT_EQ(V_UI2(Decode({0x12, 0x34}, 18, "").get()), 0x1234);
    EXPECT_EQ(V_I4(Decode({0xFE, 0xFF, 0xFF, 0xFF}, 3, kLsb).get()), -2);
    EXPECT_EQ(V_I2(Decode({0x02, 0x01}, 2, kLsb).get()), 258);
}

TEST(BytesToVariant, StringIsEightCharactersFromCodePage1251) {
    OleVariant v = Decode({'A', 'B', 'C', 0, 0, 0, 0, 0}, 8);
    ASSERT_EQ(v.type(), VT_BSTR);
    EXPECT_EQ(BstrOf(v), std::wstring(L"ABC\0\0\0\0\0", 8));
    OleVariant ram = Decode({0xCE, 0xC7, 0xD3, ' ', 0xB9, 0xA8, 0xB8, '!'}, 8);
    EXPECT_EQ(BstrOf(ram), L"ОЗУ №Ёё!");
}

TEST(BytesToVariant, ArrayOfByteHasBoundsZeroToSeven) {
    OleVariant v = Decode({1, 2, 3, 4, 5, 6, 7, 0xFF, 9}, 0x2011);
    ASSERT_EQ(v.type(), VT_ARRAY | VT_UI1);
    SAFEARRAY* array = V_ARRAY(v.get());
    ASSERT_EQ(SafeArrayGetDim(array), 1u);
    LONG low = -1, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 7);
    Bytes elements;
    for (LONG i = 0; i <= 7; ++i) {
        BYTE b = 0;
        SafeArrayGetElement(array, &i, &b);
        elements.push_back(b);
    }
    EXPECT_EQ(elements, (Bytes{1, 2, 3, 4, 5, 6, 7, 0xFF}));
}

TEST(BytesToVariant, UnreadableGivesUnsignedByteZero) {
    const std::vector<std::pair<Bytes, int>> cases = {
        {{1, 2, 3}, 3}, {{1}, 18}, {{1, 2, 3, 4, 5, 6, 7}, 8}, {{1, 2, 3, 4, 5, 6, 7}, 0x2011}, {{}, 17},
        {{1, 2, 3, 4, 5, 6, 7, 8}, 5}, {{1, 2, 3, 4, 5, 6, 7, 8}, 19}, {{1, 2, 3, 4, 5, 6, 7, 8}, 0x2003},
    };
    for (const auto& [bytes, type] : cases) {
        OleVariant v = Decode(bytes, type);
        EXPECT_EQ(v.type(), VT_UI1) << type;
        EXPECT_EQ(V_UI1(v.get()), 0) << type;
    }
    OleVariant none = BytesToVariant(nullptr, 8, 3, 0, kMsb);
    EXPECT_EQ(none.type(), VT_UI1);
}

TEST(StoreItemValue, NarrowNumbersBecomeFourByteIntegers) {
    struct Row {
        int type;
        Bytes bytes;
        VARTYPE stored;
        int32_t value;
    };
    const std::vector<Row> rows = {
        {17, {0xFF}, VT_I4, 255},        {16, {0xFF}, VT_I4, -1},   {18, {0xFF, 0xFF}, VT_I4, 65535},
        {11, {0x01}, VT_I4, 1},          {2, {0xFF, 0xFF}, VT_I2, -1}, {3, {0, 0, 1, 0}, VT_I4, 256},
    };
    for (const Row& row : rows) {
        VARIANT target;
        VariantInit(&target);
        ASSERT_EQ(StoreItemValue(&target, Decode(row.bytes, row.type).ref()), S_OK);
        EXPECT_EQ(V_VT(&target), row.stored) << row.type;
        OleVariant wide;
        VariantChangeType(wide.get(), &target, 0, VT_I4);
        EXPECT_EQ(V_I4(wide.get()), row.value) << row.type;
        VariantClear(&target);
    }
    // Text and byte arrays are copied as they are; the old value is released.
    VARIANT target;
    VariantInit(&target);
    V_VT(&target) = VT_BSTR;
    V_BSTR(&target) = SysAllocString(L"old");
    ASSERT_EQ(StoreItemValue(&target, Decode({'x', 0, 0, 0, 0, 0, 0, 0}, 8).ref()), S_OK);
    EXPECT_EQ(V_VT(&target), VT_BSTR);
    EXPECT_EQ(SysStringLen(V_BSTR(&target)), 8u);
    ASSERT_EQ(StoreItemValue(&target, Decode({1, 2, 3, 4, 5, 6, 7, 8}, 0x2011).ref()), S_OK);
    EXPECT_EQ(V_VT(&target), VT_ARRAY | VT_UI1);
    VariantClear(&target);
    EXPECT_EQ(StoreItemValue(nullptr, OleVariant::I4(1).ref()), E_POINTER);
}

TEST(VariantToBytes, ByteOrderTextDecides) {
    EXPECT_EQ(Encode(OleVariant::I4(258).ref(), 2, kLsb), Padded({0x02, 0x01}));
    EXPECT_EQ(Encode(OleVariant::I4(258).ref(), 2, kMsb), Padded({0x01, 0x02}));
    EXPECT_EQ(Encode(OleVariant::I4(-2).ref(), 3, ""), Padded({0xFF, 0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(Encode(OleVariant::I4(300).ref(), 17), Padded({0x2C}));
}

TEST(VariantToBytes, OleConvertsOtherVariantTypesToIntegers) {
    // Fractions round to the nearest integer, ties to even, as OLE automation rounds.
    EXPECT_EQ(Encode(OleVariant::R8(2.5).ref(), 17), Padded({0x02}));
    EXPECT_EQ(Encode(OleVariant::R8(3.5).ref(), 17), Padded({0x04}));
    EXPECT_EQ(Encode(OleVariant::R8(-1.4).ref(), 2), Padded({0xFF, 0xFF}));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("300")).ref(), 17), Padded({0x2C}));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("-2")).ref(), 3, kLsb), Padded({0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Encode(Bool(true).ref(), 2), Padded({0xFF, 0xFF}));  // OLE's true is -1
    LONG number = 0x0102;
    OleVariant reference;
    V_VT(reference.get()) = VT_BYREF | VT_I4;
    V_I4REF(reference.get()) = &number;
    EXPECT_EQ(Encode(reference.ref(), 18), Padded({0x01, 0x02}));
}

TEST(VariantToBytes, UnconvertibleValuesRaiseAndWriteNothing) {
    const std::vector<std::pair<OleVariant, int>> cases = [] {
        std::vector<std::pair<OleVariant, int>> c;
        c.emplace_back(OleVariant::Text(std::string("abc")), 17);
        c.emplace_back(OleVariant::Text(std::string("12abc")), 3);
        c.emplace_back(OleVariant::Null(), 2);
        c.emplace_back(OleVariant::R8(1e12), 3);  // beyond 32 bits
        c.emplace_back(OleVariant::Text(std::string("nope")), 11);
        c.emplace_back(OleVariant::Null(), 8);
        return c;
    }();
    for (const auto& [value, type] : cases) {
        Bytes buffer(8, 0xEE);
        try {
            VariantToBytes(value.ref(), type, buffer.data(), 8, kMsb);
            ADD_FAILURE() << "no error for type " << type;
        } catch (const ValueConversionError& error) {
            EXPECT_TRUE(FAILED(error.code())) << type;
        }
        EXPECT_EQ(buffer, Bytes(8, 0xEE)) << type;
    }
}

TEST(VariantToBytes, BooleanFromAnyConvertibleValue) {
    EXPECT_EQ(Encode(Bool(true).ref(), 11), Padded({0x01}));
    EXPECT_EQ(Encode(Bool(false).ref(), 11), Padded({0x00}));
    EXPECT_EQ(Encode(OleVariant::I4(5).ref(), 11), Padded({0x01}));
    EXPECT_EQ(Encode(OleVariant::I4(0).ref(), 11), Padded({0x00}));
    EXPECT_EQ(Encode(OleVariant::R8(0.5).ref(), 11, kLsb), Padded({0x01}));
}

TEST(VariantToBytes, TextIsReversedInCodePage1251) {
    EXPECT_EQ(Encode(OleVariant::Text(std::string("AB")).ref(), 8), Padded({'B', 'A'}));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("ABCDEFGHIJ")).ref(), 8),
              (Bytes{'H', 'G', 'F', 'E', 'D', 'C', 'B', 'A'}));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("ОЗУ")).ref(), 8, kLsb), Padded({0xD3, 0xC7, 0xCE}));
    EXPECT_EQ(Encode(OleVariant::I4(12345).ref(), 8), Padded({'5', '4', '3', '2', '1'}));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("")).ref(), 8), Bytes(8, 0xEE));
    EXPECT_EQ(Encode(OleVariant::Text(std::u16string(u"a\u4E2D")).ref(), 8), Padded({'?', 'a'}));
}

TEST(VariantToBytes, ByteArraysAreReversedAndCut) {
    EXPECT_EQ(Encode(ByteArray({1, 2, 3}).ref(), 0x2011), Padded({3, 2, 1}));
    EXPECT_EQ(Encode(ByteArray({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}).ref(), 0x2011), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(Encode(ByteArray({}).ref(), 0x2011), Bytes(8, 0xEE));

    OleVariant one = OleVariant::I4(1), two = OleVariant::Text(std::string("2")), big = OleVariant::I4(300);
    EXPECT_EQ(Encode(VariantArray({&one, &two, &big}).ref(), 0x2011), Padded({0x2C, 2, 1}));
    // Bounds other than zero count from the lower bound.
    EXPECT_EQ(Encode(VariantArray({&one, &two}, 5).ref(), 0x2011), Padded({2, 1}));
}

TEST(VariantToBytes, ByteRunEndsAtTheFirstUnreadableElement) {
    OleVariant one = OleVariant::I4(1), bad = OleVariant::Text(std::string("x")), three = OleVariant::I4(3);
    EXPECT_EQ(Encode(VariantArray({&one, &bad, &three}).ref(), 0x2011), Padded({1}));
    EXPECT_EQ(Encode(VariantArray({&bad, &one}).ref(), 0x2011), Bytes(8, 0xEE));
}

TEST(VariantToBytes, NonArraysAndOtherShapesWriteNothing) {
    EXPECT_EQ(Encode(OleVariant::I4(7).ref(), 0x2011), Bytes(8, 0xEE));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("abc")).ref(), 0x2011), Bytes(8, 0xEE));
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    OleVariant square;
    V_VT(square.get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(square.get()) = SafeArrayCreate(VT_UI1, 2, bounds);
    EXPECT_EQ(Encode(square.ref(), 0x2011), Bytes(8, 0xEE));
}

TEST(VariantToBytes, TooSmallBufferOrNoDeviceFormWritesNothing) {
    // The size decides first, so even an unconvertible value raises nothing there.
    EXPECT_EQ(Encode(OleVariant::Text(std::string("AB")).ref(), 8, kMsb, 4), Bytes(8, 0xEE));
    EXPECT_EQ(Encode(OleVariant::Text(std::string("abc")).ref(), 3, kMsb, 3), Bytes(8, 0xEE));
    EXPECT_EQ(Encode(OleVariant::I4(1).ref(), 18, kMsb, 1), Bytes(8, 0xEE));
    for (int type : {0, 4, 5, 7, 12, 19, 0x2003}) {
        EXPECT_EQ(Encode(OleVariant::Text(std::string("abc")).ref(), type), Bytes(8, 0xEE)) << type;
    }
    EXPECT_NO_THROW(VariantToBytes(OleVariant::I4(1).ref(), 17, nullptr, 8, kMsb));
}
