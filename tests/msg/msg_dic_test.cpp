// The dictionary model: definitions, their checks, lookups and the listing.
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "msg/msg_info.h"
#include "msg_test_support.h"

namespace {

using msgtest::DumpOf;
using msgtest::Outcome;

TEST(MsgDicTest, MessageDefinitionsAndTheirBounds) {
    EXPECT_FALSE(CMsgDic::IsValidMsgNum(0));
    EXPECT_FALSE(CMsgDic::IsValidMsgNum(10000));
    EXPECT_TRUE(CMsgDic::IsValidMsgNum(9999));

    CMsgDic dic;
    EXPECT_EQ("-15|msgnum=0", Outcome([&] { dic.SetMsgInfo(0, "A", "", ""); }));
    EXPECT_EQ("-15|msgnum=10000", Outcome([&] { dic.SetMsgInfo(10000, "A", "", ""); }));
    EXPECT_EQ(nullptr, dic.GetMsgInfo(10000));
    EXPECT_EQ(nullptr, dic.GetMsgInfo(-3));
    EXPECT_EQ(nullptr, dic.GetMsgInfo(5));
    dic.SetMsgInfo(5, "First", "1.0", "");
    EXPECT_EQ("-22|msgnum=5,msgname=Second", Outcome([&] { dic.SetMsgInfo(5, "Second", "", "8"); }));
    EXPECT_STREQ("First", dic.GetMsgInfo(5)->GetName().ToStr());
    EXPECT_EQ(128, dic.GetMsgInfo(5)->GetHashSize());
}

TEST(MsgDicTest, BucketCountFromHashText) {
    const struct {
        const char* text;
        int buckets;
    } cases[] = {{"", 128}, {"0", 128},   {"-3", 128},  {"abc", 128},         {"64", 64},
                 {"1", 1},  {"128", 128}, {"129", 128}, {"99999999999", 128}, {"16x", 16}};
    CMsgDic dic;
    int msgnum = 1;
    for (const auto& c : cases) {
        dic.SetMsgInfo(msgnum, "M", "", c.text);
        EXPECT_EQ(c.buckets, dic.GetMsgInfo(msgnum)->GetHashSize()) << "hash='" << c.text << "'";
        ++msgnum;
    }
    // The listing shows the count in use.
    CMsgDic one;
    one.SetMsgInfo(3, "Big", "", "500");
    EXPECT_EQ("<msg no='3' name='Big' hash='128'>\n</msg>\n\n", DumpOf(one));
}

TEST(MsgDicTest, TagDefinitionChecksInOrder) {
    CMsgDic dic;
    dic.SetMsgInfo(1, "M", "", "");
    EXPECT_EQ("-15|msgnum=0", Outcome([&] { dic.SetMsgDetail(0, -1, "t", "bad", "Y"); }));
    EXPECT_EQ("-19|msgnum=7", Outcome([&] { dic.SetMsgDetail(7, -1, "t", "bad", "Y"); }));
    EXPECT_EQ("-14|msgnum=1,tagnum=-1", Outcome([&] { dic.SetMsgDetail(1, -1, "t", "bad", "Y"); }));
    for (const char* type : {"m", "mx", "m0", "m10000", "m-1"})
        EXPECT_EQ(std::string("-16|submsg=") + type, Outcome([&] { dic.SetMsgDetail(1, 2, "t", type, "N"); }));
    for (const char* type : {"String", "int", "", "Msg12"})
        EXPECT_EQ(std::string("-17|tagtype=") + type, Outcome([&] { dic.SetMsgDetail(1, 2, "t", type, "N"); }));
    // Nothing of the failed definitions was registered.
    EXPECT_EQ(0, dic.GetMsgInfo(1)->GetTagCount());
    int tagnum = 42;
    EXPECT_EQ(-1, dic.GetMsgInfo(1)->GetTagNum("t", &tagnum));
    EXPECT_EQ(42, tagnum);
}

TEST(MsgDicTest, TagTypesAndArrayFlags) {
    CMsgDic dic;
    dic.SetMsgInfo(1, "M", "", "4");
    const char* types[] = {"string", "integer", "double", "bool", "date"};
    for (int i = 0; i < 5; ++i)
        dic.SetMsgDetail(1, i, types[i], types[i], "N");
    dic.SetMsgDetail(1, 5, "sub", "m0012", "Y");
    int tag = 6;
    for (const char* flag : {"y", "yes", "N", ""})
        dic.SetMsgDetail(1, tag++, "flag", "string", flag);
    const CMsgInfo* info = dic.GetMsgInfo(1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(i + 1, info->GetTagType(i));
    EXPECT_EQ(TAG_TYPE_SUBMSG, info->GetTagType(5));
    EXPECT_EQ(12, info->GetSubMsgNum(5));
    EXPECT_EQ(0, info->GetSubMsgNum(4));
    EXPECT_TRUE(info->IsArrayTag(5));
    for (tag = 6; tag < 10; ++tag)
        EXPECT_FALSE(info->IsArrayTag(tag)) << tag;
    EXPECT_EQ(TAG_TYPE_UNKNOWN, info->GetTagType(99));
    EXPECT_EQ(nullptr, info->GetTagInfo(-1));

    EXPECT_STREQ("Unknown", GetTagTypeName(0).ToStr());
    EXPECT_STREQ("submsg", GetTagTypeName(6).ToStr());
    EXPECT_STREQ("Unknown(7)", GetTagTypeName(7).ToStr());
}

TEST(MsgDicTest, RepeatedTagsAndNamesResolveToTheFirstDefinition) {
    CMsgDic dic;
    dic.SetMsgInfo(2, "M", "", "2");  // two buckets: tags 1, 3, 9 share one chain
    dic.SetMsgDetail(2, 3, "amount", "integer", "N");
    dic.SetMsgDetail(2, 9, "amount", "double", "N");
    dic.SetMsgDetail(2, 1, "Amount", "date", "N");
    dic.SetMsgDetail(2, 3, "again", "string", "Y");
    dic.SetMsgDetail(2, 2147483647, "max", "bool", "N");
    const CMsgInfo* info = dic.GetMsgInfo(2);

    ASSERT_EQ(5, info->GetTagCount());
    const int order[] = {3, 9, 1, 3, 2147483647};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(order[i], info->GetTagNumAt(i));
    EXPECT_EQ(-1, info->GetTagNumAt(5));
    EXPECT_EQ(-1, info->GetTagNumAt(-1));

    EXPECT_EQ(TAG_TYPE_INT, info->GetTagType(3));
    EXPECT_EQ(TAG_TYPE_BOOL, info->GetTagType(2147483647));
    int tagnum = 0;
    EXPECT_EQ(0, info->GetTagNum("amount", &tagnum));
    EXPECT_EQ(3, tagnum);
    EXPECT_EQ(0, info->GetTagNum("Amount", &tagnum));
    EXPECT_EQ(1, tagnum);
    EXPECT_EQ(-1, info->GetTagNum("AMOUNT", &tagnum));
    EXPECT_EQ(-1, info->GetTagNum(nullptr, &tagnum));
    EXPECT_EQ(1, tagnum);

    // Both entries of tag 3 list its first definition.
    EXPECT_EQ(
        "<msg no='2' name='M' hash='2'>\n"
        "\t<tag no='3' name='amount' type='integer' array='N' />\n"
        "\t<tag no='9' name='amount' type='double' array='N' />\n"
        "\t<tag no='1' name='Amount' type='date' array='N' />\n"
        "\t<tag no='3' name='amount' type='integer' array='N' />\n"
        "\t<tag no='2147483647' name='max' type='bool' array='N' />\n"
        "</msg>\n\n",
        DumpOf(dic));
}

TEST(MsgDicTest, EmptyDictionaryListsNothingAndCannotBeCopied) {
    CMsgDic dic;
    CStream out;
    dic.Dump(&out);
    EXPECT_EQ(0, out.GetSize());
    dic.Dump(nullptr);
    static_assert(!std::is_copy_constructible<CMsgDic>::value, "a copy would share the definitions");
    static_assert(!std::is_copy_assignable<CMsgDic>::value, "a copy would share the definitions");
}

}  // namespace
