// A file's encoding decided as a whole, Windows-1252 decoded and encoded back byte for byte, and
// the shown form of long texts.
#include "core/text_encoding.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(Utf8Validator, JudgesTheWholeTextWhereverItIsCut) {
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ASCII, long enough to pass eight bytes at a time", true},
        {"J\xC3\xB6rg \xE2\x82\xAC \xF0\x9F\x8E\x82", true}, // two, three and four bytes
        {"J\xF6rg", false},                                  // Windows-1252
        {"\xC3", false},                                     // cut short at the end
        {"\xC0\xAF", false},                                 // overlong
        {"\xE0\x80\xAF", false},                             // overlong
        {"\xED\xA0\x80", false},                             // a surrogate
        {"\xF4\x90\x80\x80", false},                         // beyond U+10FFFF
        {"\xF8\x88\x80\x80\x80", false},
        {"\x80", false},
        {"abcdefgh\xC3\xA4zzzzzzzz", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid);
        EXPECT_EQ(encodingOf(c.bytes), c.valid ? TextEncoding::Utf8 : TextEncoding::Windows1252);
        // Fed in two pieces at every cut, as a file arrives through a buffer.
        for (std::size_t cut = 0; cut <= c.bytes.size(); ++cut) {
            Utf8Validator validator;
            validator.feed(std::string_view(c.bytes).substr(0, cut));
            validator.feed(std::string_view(c.bytes).substr(cut));
            EXPECT_EQ(validator.valid(), c.valid) << "cut at " << cut;
        }
    }
}

TEST(Windows1252, EveryByteDecodesAndEncodesBackToItself) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string decoded = decodeText(all, TextEncoding::Windows1252);
    EXPECT_TRUE(isValidUtf8(decoded));
    EXPECT_TRUE(canEncode(decoded, TextEncoding::Windows1252));
    std::string encoded;
    appendEncoded(encoded, decoded, TextEncoding::Windows1252);
    EXPECT_EQ(encoded, all);

    EXPECT_EQ(decodeText("J\xF6rg \x80 \x81", TextEncoding::Windows1252),
              "J\xC3\xB6rg \xE2\x82\xAC \xC2\x81");
    EXPECT_EQ(decodeText("J\xF6rg", TextEncoding::Utf8), "J\xF6rg"); // UTF-8 files stay as read

    // Characters outside the code page cannot be carried, and neither can bytes that are not
    // UTF-8 be written into a UTF-8 file without breaking it.
    EXPECT_FALSE(canEncode("\xC5\x81ukasz", TextEncoding::Windows1252)); // Ł
    EXPECT_TRUE(canEncode("\xC5\x81ukasz", TextEncoding::Utf8));
    EXPECT_FALSE(canEncode("J\xF6rg", TextEncoding::Utf8));
    std::string marked;
    appendEncoded(marked, "a\xC5\x81z", TextEncoding::Windows1252,
                  [](std::string& out, std::string_view bytes) {
                      out += "<" + std::to_string(bytes.size()) + ">";
                  });
    EXPECT_EQ(marked, "a<2>z");
}

TEST(ShownText, LongTextsAreCutAtACharacterAndMarked) {
    const std::string ellipsis = "\xE2\x80\xA6";
    EXPECT_EQ(shownText("short"), "short");
    EXPECT_EQ(shownText(std::string(1000, 'a')), std::string(1000, 'a'));
    EXPECT_EQ(shownText(std::string(1001, 'a')), std::string(1000, 'a') + ellipsis);

    std::string umlauts;
    for (int i = 0; i < 1000; ++i)
        umlauts += "\xC3\xB6";
    EXPECT_EQ(shownText(umlauts), umlauts); // 1000 characters in 2000 bytes: nothing to cut
    EXPECT_EQ(shownText(umlauts + "x"), umlauts + ellipsis);
    EXPECT_EQ(shownText("\xC3\xB6\xC3\xB6\xC3\xB6", 2), "\xC3\xB6\xC3\xB6" + ellipsis);
    EXPECT_EQ(shownText(std::string(50'000'000, 'n')).size(), 1000 + ellipsis.size());
}

} // namespace
} // namespace kivo
