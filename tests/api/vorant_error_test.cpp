#include "vorant/vorant_error.hpp"

#include <gtest/gtest.h>

namespace {

void ExpectCleared(const CVorantError& e) {
    EXPECT_EQ(e.GetCode(), 0);
    EXPECT_STREQ(e.GetText().ToStr(), "");
    EXPECT_EQ(e.GetRefSvcNum(), 0);
    EXPECT_STREQ(e.Repr().ToStr(), "CVorantError: ");
}

TEST(CVorantError, ReprShowsAllFieldsOnlyForServerCodes) {
    CVorantError e;
    ExpectCleared(e);

    e.SetError("boom");
    EXPECT_EQ(e.GetCode(), 0);
    EXPECT_STREQ(e.Repr().ToStr(), "CVorantError: boom");

    e.SetError(501, "denied", 1234);
    EXPECT_EQ(e.GetCode(), 501);
    EXPECT_EQ(e.GetRefSvcNum(), 1234);
    EXPECT_STREQ(e.Repr().ToStr(), "CVorantError: Code=501, Text=denied, RefSvcNum=1234");

    e.SetError(-3, "x", -1);
    EXPECT_EQ(e.GetRefSvcNum(), -1);
    EXPECT_STREQ(e.Repr().ToStr(), "CVorantError: x");

    e.SetError(7, nullptr, 1);
    EXPECT_STREQ(e.GetText().ToStr(), "");
    EXPECT_STREQ(e.Repr().ToStr(), "CVorantError: Code=7, Text=, RefSvcNum=1");

    e.Clear();
    ExpectCleared(e);
}

TEST(CVorantError, CopiesAreIndependent) {
    CVorantError a;
    a.SetError(-5, "original", 9);
    CVorantError b(a);
    b.SetError("changed");
    EXPECT_STREQ(a.GetText().ToStr(), "original");
    EXPECT_EQ(a.GetCode(), -5);
    EXPECT_EQ(a.GetRefSvcNum(), 9);

    CVorantError c;
    c = a;
    a.Clear();
    EXPECT_STREQ(c.GetText().ToStr(), "original");
    EXPECT_EQ(c.GetRefSvcNum(), 9);
    c = c;
    EXPECT_STREQ(c.GetText().ToStr(), "original");
}

}  // namespace
