#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "values/Cp1251.h"

using namespace tervex;

namespace {

// The C library's own converter as an independent reference.
std::string Iconv(const char* to, const char* from, const std::string& input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        ADD_FAILURE() << "iconv_open " << from << " -> " << to;
        return {};
    }
    std::string in = input;
    std::string out(input.size() * 4 + 4, '\0');
    char* inPtr = in.data();
    size_t inLeft = in.size();
    char* outPtr = out.data();
    size_t outLeft = out.size();
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        return "<iconv failed>";
    }
    out.resize(out.size() - outLeft);
    return out;
}

std::u16string Utf16Of(const std::string& utf8) {
    const std::string raw = Iconv("UTF-16LE", "UTF-8", utf8);
    std::u16string out;
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
        out += static_cast<char16_t>(static_cast<unsigned char>(raw[i]) | (static_cast<unsigned char>(raw[i + 1]) << 8));
    }
    return out;
}

}  // namespace

TEST(Cp1251, EveryDefinedByteMatchesTheReferenceTable) {
    for (int b = 0; b < 256; ++b) {
        if (b == 0x98) {
            continue;  // undefined in the code page
        }
        const std::string byte(1, static_cast<char>(b));
        const std::string utf8 = Iconv("UTF-8", "CP1251", byte);
        EXPECT_EQ(Cp1251ToUtf8(byte), utf8) << std::hex << b;
        EXPECT_EQ(Utf8ToCp1251(utf8), byte) << std::hex << b;
        EXPECT_EQ(Cp1251ToUtf16(byte), Utf16Of(utf8)) << std::hex << b;
        EXPECT_EQ(Utf16ToCp1251(Utf16Of(utf8)), byte) << std::hex << b;
    }
}

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all)), all);
    EXPECT_EQ(Utf16ToCp1251(Cp1251ToUtf16(all)), all);
    EXPECT_EQ(Cp1251ToUtf16(all).size(), 256u);
}

TEST(Cp1251, RussianTextsOfTheDriver) {
    const std::string ram = "ОЗУ";
    EXPECT_EQ(Utf8ToCp1251(ram), "\xCE\xC7\xD3");
    EXPECT_EQ(Cp1251ToUtf8("\xCE\xC7\xD3"), ram);
    const std::string order = "Младшим байтом вперед";
    EXPECT_EQ(Utf8ToCp1251(order), Iconv("CP1251", "UTF-8", order));
    EXPECT_EQ(Utf8ToCp1251(order).size(), 21u);
    EXPECT_EQ(Utf8ToCp1251("Ёё№"), "\xA8\xB8\xB9");
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(Utf8ToCp1251("a\xC3\xA9z"), "a?z");              // é
    EXPECT_EQ(Utf8ToCp1251("\xE4\xB8\xAD"), "?");              // a CJK character
    EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80!"), "?!");        // outside the BMP
    EXPECT_EQ(Utf16ToCp1251(u"a\u00E9\u4E2Dz"), "a??z");
    EXPECT_EQ(Utf16ToCp1251(u"\U0001F600!"), "?!");            // a surrogate pair is one character
}

TEST(Cp1251, MalformedInputGivesDefinedResult) {
    EXPECT_EQ(Utf8ToCp1251("\xFF"), "?");
    EXPECT_EQ(Utf8ToCp1251("\x80" "A"), "?A");                 // stray continuation byte
    EXPECT_EQ(Utf8ToCp1251("\xD0"), "?");                      // cut sequence at the end
    EXPECT_EQ(Utf8ToCp1251("\xD0" "A"), "?A");                 // cut sequence in the middle
    EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");                 // overlong zero
    EXPECT_EQ(Utf8ToCp1251("\xED\xA0\x80"), "???");            // encoded surrogate
    const std::u16string lone = {u'a', static_cast<char16_t>(0xD800), u'b', static_cast<char16_t>(0xDC00)};
    EXPECT_EQ(Utf16ToCp1251(lone), "a?b?");
}

TEST(Cp1251, ZeroCharactersAndLengthSurvive) {
    const std::string text("A\0\xC0", 3);
    EXPECT_EQ(Cp1251ToUtf8(text), std::string("A\0\xD0\x90", 4));
    EXPECT_EQ(Utf8ToCp1251(std::string("A\0\xD0\x90", 4)), text);
    EXPECT_EQ(Cp1251ToUtf16(text), (std::u16string{u'A', u'\0', u'\u0410'}));
    EXPECT_EQ(Cp1251ToUtf8(""), "");
    EXPECT_EQ(Utf16ToCp1251(u""), "");
}
