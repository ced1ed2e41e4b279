#include "vorant/msg_error.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>

namespace {

// Exposes the protected setter the way derived message classes use it.
class Holder : public CLastError {
public:
    using CLastError::SetLastError;
};

TEST(ErrorTable, LooksUpByMagnitudeWithAFallback) {
    EXPECT_STREQ(MA_GetErrorStr(-15), "Out of msgnum boundary");
    EXPECT_STREQ(MA_GetErrorStr(15), "Out of msgnum boundary");
    EXPECT_STREQ(MA_GetErrorStr(-1), "No Data found");
    EXPECT_STREQ(MA_GetErrorStr(-5), "N/A");
    EXPECT_STREQ(MA_GetErrorStr(-10), "N/A");
    EXPECT_STREQ(MA_GetErrorStr(-11), "Memory error");
    EXPECT_STREQ(MA_GetErrorStr(-16), "Out of submsg bounaryd");
    EXPECT_STREQ(MA_GetErrorStr(-26), "Xerces(XML parser) initialization error");
    EXPECT_STREQ(MA_GetErrorStr(-30), "Undefined statment id");
    EXPECT_STREQ(MA_GetErrorStr(MA_ERR_DICTIONARY_LOAD), "Dictionary loading failed");
    for (int code : {0, 50, -50, -99, INT_MIN, INT_MAX})
        EXPECT_STREQ(MA_GetErrorStr(code), "Unknown error") << code;
    for (int code = 0; code < 50; ++code) {
        ASSERT_NE(MA_GetErrorStr(-code), nullptr) << code;
        EXPECT_GT(std::string(MA_GetErrorStr(-code)).size(), 0u) << code;
    }
}

TEST(LastError, RecordsCodeAndFormattedText) {
    Holder h;
    EXPECT_STREQ(h.GetLastError(), "");
    EXPECT_EQ(h.GetLastErrorCode(), 0);

    h.SetLastError(-19, "msgnum=%d", 7);
    EXPECT_STREQ(h.GetLastError(), "MSG_Error(-19) : Not defined msg in dictionary {msgnum=7}");
    EXPECT_EQ(h.GetLastErrorCode(), -19);

    h.SetLastError(-12, "%s", "");
    EXPECT_STREQ(h.GetLastError(), "MSG_Error(-12) : Parameter is NULL {}");
    EXPECT_EQ(h.GetLastErrorCode(), -12);

    h.SetLastError(-99, "x");
    EXPECT_STREQ(h.GetLastError(), "MSG_Error(-99) : Unknown error {x}");
    h.SetLastError(-40, "spare");
    EXPECT_STREQ(h.GetLastError(), "MSG_Error(-40) : Unknown error {spare}");
    h.SetLastError(-21, nullptr);
    EXPECT_STREQ(h.GetLastError(), "MSG_Error(-21) : XML parsing failed {}");
}

TEST(LastError, LongDetailsAreKeptWhole) {
    Holder h;
    for (size_t n : {1023u, 1024u, 5000u}) {
        std::string details(n, 'd');
        h.SetLastError(-17, "%s", details.c_str());
        EXPECT_EQ(std::string(h.GetLastError()), "MSG_Error(-17) : Invalid tag type {" + details + "}") << n;
    }
}

TEST(LastError, CopiesCloneTheRecord) {
    Holder a;
    a.SetLastError(-14, "first");
    Holder b(a);
    EXPECT_NE(b.GetLastError(), a.GetLastError());
    b.SetLastError(-15, "second");
    EXPECT_STREQ(a.GetLastError(), "MSG_Error(-14) : Out of tagnum boundary {first}");
    EXPECT_STREQ(b.GetLastError(), "MSG_Error(-15) : Out of msgnum boundary {second}");

    Holder c;
    c = a;
    EXPECT_STREQ(c.GetLastError(), a.GetLastError());
    EXPECT_EQ(c.GetLastErrorCode(), -14);
    c = b;
    EXPECT_STREQ(c.GetLastError(), b.GetLastError());
    c = c;
    EXPECT_EQ(c.GetLastErrorCode(), -15);
    c = Holder();
    EXPECT_STREQ(c.GetLastError(), "");
    EXPECT_EQ(c.GetLastErrorCode(), 0);

    Holder d(std::move(a));
    EXPECT_EQ(d.GetLastErrorCode(), -14);
    EXPECT_STREQ(a.GetLastError(), "");
    a.SetLastError(-1, "reused");
    EXPECT_STREQ(a.GetLastError(), "MSG_Error(-1) : No Data found {reused}");
}

}  // namespace
