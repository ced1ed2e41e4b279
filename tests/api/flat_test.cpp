// The flat C interface: its record, its copying and truncation rules and the
// MSG_* functions.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "api/flat_error.h"
#include "service_test_util.h"
#include "vorant/vorant.h"

namespace {

static_assert(sizeof(VorantErrorInfo) == 1032, "record size");
static_assert(offsetof(VorantErrorInfo, text) == 4, "text offset");
static_assert(offsetof(VorantErrorInfo, refSvcNum) == 1028, "refSvcNum offset");

VorantErrorInfo Stale() {
    VorantErrorInfo info;
    memset(&info, 'Z', sizeof(info));
    info.code = 99;
    info.refSvcNum = 98;
    return info;
}

std::string RejectWith(const std::string& reason) {
    return AnswerPacket("<msg no=\"10\" ver=\"\"><t6>501</t6><t7><![CDATA[" + reason + "]]></t7><t8>9</t8></msg>");
}

class Flat : public ::testing::Test {
protected:
    void TearDown() override { Server().SetScript(nullptr); }
};

TEST_F(Flat, CallFunctions) {
    VorantErrorInfo info = Stale();
    EXPECT_EQ(Vorant_Initialize("/nonexistent/v.conf", nullptr), -12);
    EXPECT_EQ(Vorant_InitializeEx("k", "d", "h", 1, 1, nullptr), -12);
    EXPECT_EQ(Vorant_CallService(7, nullptr, nullptr, nullptr), -12);

    EXPECT_EQ(Vorant_Initialize("/nonexistent/v.conf", &info), -1);
    EXPECT_EQ(info.code, 0);
    EXPECT_STREQ(info.text, "File open failed [/nonexistent/v.conf](2,No such file or directory)");
    EXPECT_EQ(info.refSvcNum, 0);

    info = Stale();
    EXPECT_EQ(Vorant_InitializeEx(nullptr, "d", "h", 1, 1, &info), -1);
    EXPECT_STREQ(info.text, "p_szFileName is NULL");

    CMsg* in = NewExampleOrder();
    CMsg* out = MSG_GetNewMsg(0, nullptr);
    ASSERT_NE(out, nullptr);
    {
        StateOverride state;
        g_bInitialized.store(false);
        EXPECT_EQ(Vorant_CallService(7, in, out, &info), -1);
        EXPECT_EQ(info.code, -35);
        EXPECT_STREQ(info.text, "call CVorant::Initialize() first");
        EXPECT_EQ(info.refSvcNum, 7);
    }

    // A success leaves the record as it was.
    Server().SetScript(EchoAnswer);
    info = Stale();
    EXPECT_EQ(Vorant_CallService(7, in, out, &info), 0);
    EXPECT_EQ(info.code, 99);
    EXPECT_EQ(info.text[0], 'Z');
    EXPECT_EQ(MSG_GetSelfNum(out), 1001);

    Server().SetScript([](const std::string&) { return RejectWith("denied"); });
    EXPECT_EQ(Vorant_CallService(7, in, out, &info), -4);
    EXPECT_EQ(info.code, 501);
    EXPECT_STREQ(info.text, "denied");
    EXPECT_EQ(info.refSvcNum, 9);
    EXPECT_EQ(info.text[1023], 0);  // the rest of the text is cleared

    MSG_Destroy(in);
    MSG_Destroy(out);
}

TEST_F(Flat, LongTextsAreCutTo1022Characters) {
    std::string reason(2000, 'r');
    reason[1021] = 'L';
    reason[1022] = 'X';
    Server().SetScript([&](const std::string&) { return RejectWith(reason); });
    CMsg* in = NewExampleOrder();
    CMsg* out = MSG_GetNewMsg(0, nullptr);
    VorantErrorInfo info = Stale();
    EXPECT_EQ(Vorant_CallService(7, in, out, &info), -4);
    EXPECT_EQ(strlen(info.text), 1022u);
    EXPECT_EQ(info.text[1021], 'L');
    EXPECT_EQ(info.refSvcNum, 9);
    MSG_Destroy(in);
    MSG_Destroy(out);

    // An exception's text in the library's error form, cut alike.
    info = Stale();
    CopyErrorInfo(CException(-21, "%s", std::string(1500, 'e').c_str()), &info);
    EXPECT_EQ(info.code, -21);
    EXPECT_EQ(info.refSvcNum, 0);
    EXPECT_EQ(strlen(info.text), 1022u);
    EXPECT_EQ(std::string(info.text, 40), "MSG_Error(-21) : XML parsing failed {eee");
}

TEST_F(Flat, NullHandlesAndOutputs) {
    int value = 7;
    char text[16] = "x";
    EXPECT_EQ(MSG_GetSelfNum(nullptr), -12);
    EXPECT_EQ(MSG_SetInt(nullptr, 2, 1), -12);
    EXPECT_EQ(MSG_SetDbl(nullptr, 3, 1.0), -12);
    EXPECT_EQ(MSG_SetStr(nullptr, 1, "a"), -12);
    EXPECT_EQ(MSG_SetBool(nullptr, 4, 1), -12);
    EXPECT_EQ(MSG_SetDate(nullptr, 5, "20240101"), -12);
    EXPECT_EQ(MSG_SetSub(nullptr, 6, nullptr), -12);
    EXPECT_EQ(MSG_GetStrLen(nullptr, 1), -12);
    EXPECT_EQ(MSG_GetStr(nullptr, 1, text), -12);
    EXPECT_EQ(MSG_GetInt(nullptr, 2, &value), -12);
    EXPECT_EQ(MSG_GetBool(nullptr, 4, &value), -12);
    EXPECT_EQ(MSG_GetDate(nullptr, 5, text), -12);
    EXPECT_EQ(MSG_GetArrSize(nullptr, 7), -12);
    EXPECT_EQ(MSG_GetAtIntArr(nullptr, 10, 0, &value), -12);
    int result = 0;
    EXPECT_EQ(MSG_GetStrEx(nullptr, 1, &result), nullptr);
    EXPECT_EQ(result, -12);
    result = 0;
    EXPECT_EQ(MSG_GetSub(nullptr, 12, &result), nullptr);
    EXPECT_EQ(result, -12);
    EXPECT_STREQ(MSG_GetLastError(nullptr), "p_pMsg Parameter is NULL");
    MSG_Destroy(nullptr);

    VorantErrorInfo info = Stale();
    EXPECT_EQ(MSG_Dump(nullptr, nullptr, &info), -12);
    EXPECT_EQ(info.code, -12);
    EXPECT_STREQ(info.text, "p_pMsg Parameter is NULL");
    EXPECT_EQ(MSG_Dump(nullptr, nullptr, nullptr), -12);

    // Output pointers the caller forgot are refused, not written through.
    CMsg* msg = MSG_GetNewMsg(1001, nullptr);
    MSG_SetStr(msg, 1, "abc");
    MSG_SetBool(msg, 4, 1);
    MSG_SetDate(msg, 5, "20240101");
    EXPECT_EQ(MSG_GetStr(msg, 1, nullptr), -12);
    EXPECT_EQ(MSG_GetBool(msg, 4, nullptr), -12);
    EXPECT_EQ(MSG_GetDate(msg, 5, nullptr), -12);
    EXPECT_EQ(MSG_GetInt(msg, 2, nullptr), -12);
    char* copy = MSG_GetStrEx(msg, 1, nullptr);
    EXPECT_STREQ(copy, "abc");
    free(copy);
    MSG_Destroy(msg);
}

TEST_F(Flat, ScalarsInAndOut) {
    EXPECT_EQ(MSG_GetNewMsg(4242, nullptr), nullptr);
    CMsg* msg = MSG_GetNewMsg(1001, nullptr);
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(MSG_GetSelfNum(msg), 1001);

    EXPECT_EQ(MSG_SetStr(msg, 1, "A-17"), 0);
    EXPECT_EQ(MSG_GetStrLen(msg, 1), 4);
    char text[5];
    EXPECT_EQ(MSG_GetStr(msg, 1, text), 0);
    EXPECT_STREQ(text, "A-17");
    int result = 1;
    char* copy = MSG_GetStrEx(msg, 1, &result);
    EXPECT_EQ(result, 0);
    EXPECT_STREQ(copy, "A-17");
    free(copy);

    EXPECT_EQ(MSG_SetInt(msg, 2, -5), 0);
    int value = 0;
    EXPECT_EQ(MSG_GetInt(msg, 2, &value), 0);
    EXPECT_EQ(value, -5);
    EXPECT_EQ(MSG_SetDbl(msg, 3, 1.25), 0);
    double dbl = 0;
    EXPECT_EQ(MSG_GetDbl(msg, 3, &dbl), 0);
    EXPECT_EQ(dbl, 1.25);

    value = 7;
    EXPECT_EQ(MSG_GetBool(msg, 4, &value), -1);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(MSG_SetBool(msg, 4, 42), 0);
    EXPECT_EQ(MSG_GetBool(msg, 4, &value), 0);
    EXPECT_EQ(value, 255);

    // Eight characters are taken; a shorter text ends at its zero.
    char date[9] = "xxxxxxxx";
    EXPECT_EQ(MSG_SetDate(msg, 5, "20240229xyz"), 0);
    EXPECT_EQ(MSG_GetDate(msg, 5, date), 0);
    EXPECT_STREQ(date, "20240229");
    char* shortDate = static_cast<char*>(malloc(5));
    memcpy(shortDate, "2024", 5);
    EXPECT_EQ(MSG_SetDate(msg, 5, shortDate), 0);
    free(shortDate);

    result = 1;
    EXPECT_EQ(MSG_GetStrEx(msg, 7, &result), nullptr);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(MSG_GetInt(msg, 1, &value), -17);
    EXPECT_EQ(std::string(MSG_GetLastError(msg)).rfind("MSG_Error(-17) : Invalid tag type {", 0), 0u);
    EXPECT_EQ(MSG_SetInt(msg, 99, 1), -18);
    MSG_Destroy(msg);
}

TEST_F(Flat, ArrayItemsAndSubMessages) {
    CMsg* msg = MSG_GetNewMsg(1001, nullptr);
    for (const char* memo : {"a", "bc"})
        MSG_SetStr(msg, 7, memo);
    MSG_SetBool(msg, 8, 0);
    MSG_SetBool(msg, 8, 1);
    MSG_SetDate(msg, 9, "20240131");
    EXPECT_EQ(MSG_GetAtStrLen(msg, 7, 1), 2);
    char text[3];
    EXPECT_EQ(MSG_GetAtStrArr(msg, 7, 1, text), 0);
    EXPECT_STREQ(text, "bc");
    int result = 1;
    char* copy = MSG_GetAtStrArrEx(msg, 7, 0, &result);
    EXPECT_STREQ(copy, "a");
    free(copy);
    int value = 0;
    EXPECT_EQ(MSG_GetAtBoolArr(msg, 8, 1, &value), 0);
    EXPECT_EQ(value, 255);
    char date[9];
    EXPECT_EQ(MSG_GetAtDateArr(msg, 9, 0, date), 0);
    EXPECT_STREQ(date, "20240131");
    EXPECT_EQ(MSG_GetAtIntArr(msg, 10, 0, &value), -1);

    // Sub-messages belong to their parent once set; out of range gives null.
    CMsg* head = new CMsg(2001, 1001, 12);
    MSG_SetStr(head, 1, "H");
    EXPECT_EQ(MSG_SetSub(msg, 12, head), 0);
    EXPECT_EQ(MSG_GetSub(msg, 12, &result), head);
    EXPECT_EQ(result, 0);
    CMsg* item = new CMsg(2001, 1001, 6);
    MSG_SetInt(item, 2, 4);
    EXPECT_EQ(MSG_SetSub(msg, 6, item), 0);
    EXPECT_EQ(MSG_GetAtSubArr(msg, 6, 0, &result), item);
    EXPECT_EQ(MSG_GetAtSubArr(msg, 6, 1, &result), nullptr);
    EXPECT_EQ(result, -27);
    MSG_Destroy(msg);
}

TEST_F(Flat, Dump) {
    CMsg* msg = MSG_GetNewMsg(1001, nullptr);
    MSG_SetInt(msg, 2, 5);
    std::string path = ScratchDir() + "/dump.txt";
    VorantErrorInfo info = Stale();
    EXPECT_EQ(MSG_Dump(msg, path.c_str(), &info), 0);
    EXPECT_EQ(MSG_Dump(msg, path.c_str(), &info), 0);
    EXPECT_EQ(info.code, 99);
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    const std::string once =
        "Msg Dump ======================================\n  MsgNum : 1001\n    Type : index\n"
        "     Ver : \n    [2](qty) 5\n===============================================\n";
    EXPECT_EQ(text.str(), once + once);

    EXPECT_EQ(MSG_Dump(msg, (ScratchDir() + "/no/such/dir/x").c_str(), &info), -1);
    EXPECT_EQ(info.code, -32);
    EXPECT_STREQ(info.text, "cannot open file");
    EXPECT_EQ(info.refSvcNum, 0);

    testing::internal::CaptureStdout();
    EXPECT_EQ(MSG_Dump(msg, nullptr, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), once);

    // Into a buffer: the whole length is returned, what fits is written.
    const int length = static_cast<int>(once.size());
    EXPECT_EQ(MSG_DumpToBuffer(msg, nullptr, 0), length);
    std::string buffer(length + 1, 'Z');
    EXPECT_EQ(MSG_DumpToBuffer(msg, &buffer[0], length + 1), length);
    EXPECT_EQ(buffer.c_str(), once);
    char small[6];
    EXPECT_EQ(MSG_DumpToBuffer(msg, small, sizeof(small)), length);
    EXPECT_STREQ(small, "Msg D");
    EXPECT_EQ(MSG_DumpToBuffer(nullptr, small, sizeof(small)), -12);
    EXPECT_EQ(MSG_DumpToBuffer(msg, nullptr, 4), -12);
    EXPECT_EQ(MSG_DumpToBuffer(msg, small, -1), -12);
    MSG_Destroy(msg);
}

TEST_F(Flat, DictionaryDefinitions) {
    EXPECT_EQ(MSG_FindMsgNum("Order"), 1001);
    EXPECT_EQ(MSG_FindMsgNum("order"), -19);
    EXPECT_EQ(MSG_FindMsgNum(nullptr), -12);
    EXPECT_STREQ(MSG_GetMsgName(2001), "OrderLine");
    EXPECT_EQ(MSG_GetMsgName(0), nullptr);
    EXPECT_EQ(MSG_GetMsgName(10000), nullptr);
    EXPECT_EQ(MSG_GetTagDefCount(1001), 12);
    EXPECT_EQ(MSG_GetTagDefCount(999), -19);

    VorantTagDef def;
    memset(&def, 0, sizeof(def));
    EXPECT_EQ(MSG_GetTagDef(1001, 0, &def), -12);  // size not set
    EXPECT_EQ(MSG_GetTagDef(1001, 0, nullptr), -12);
    def.size = sizeof(def);
    struct Want {
        int idx, tag;
        const char* name;
        int type, subMsg, isArray;
    };
    for (const Want& w :
         {Want{0, 1, "acct", VORANT_TAG_STRING, 0, 0}, Want{5, 6, "lines", VORANT_TAG_SUBMSG, 2001, 1},
          Want{8, 9, "dates", VORANT_TAG_DATE, 0, 1}, Want{11, 12, "head", VORANT_TAG_SUBMSG, 2001, 0}}) {
        ASSERT_EQ(MSG_GetTagDef(1001, w.idx, &def), 0) << w.name;
        EXPECT_EQ(def.tag, w.tag);
        EXPECT_STREQ(def.name, w.name);
        EXPECT_EQ(def.type, w.type);
        EXPECT_EQ(def.subMsg, w.subMsg);
        EXPECT_EQ(def.isArray, w.isArray);
    }
    EXPECT_EQ(MSG_GetTagDef(1001, 12, &def), -27);
    EXPECT_EQ(MSG_GetTagDef(1001, -1, &def), -27);
    EXPECT_EQ(MSG_GetTagDef(999, 0, &def), -19);
}

}  // namespace
