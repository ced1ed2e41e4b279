/* A C11 program using the flat interface of the shared library: initialise
 * from a configuration file, build a request, call the echo service and read
 * every field back, then call a rejecting service.
 * usage: e2e_c_client CONFIG ECHO_SERVICE REJECT_SERVICE */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "vorant/vorant.h"

static int failures = 0;

static void check(int ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "c-client: failed: %s\n", what);
        ++failures;
    }
}

int main(int argc, char** argv) {
    VorantErrorInfo err;
    VorantCallOptions opts;
    CMsg* req;
    CMsg* line;
    CMsg* ans;
    int value = 0, result = 0;
    double dbl = 0;
    char date[9];
    char text[32];
    char* copy;

    if (argc != 4) {
        fprintf(stderr, "usage: e2e_c_client CONFIG ECHO_SERVICE REJECT_SERVICE\n");
        return 2;
    }
    if (Vorant_Initialize(argv[1], &err) != 0) {
        fprintf(stderr, "c-client: initialise: %d %s\n", err.code, err.text);
        return 1;
    }

    req = MSG_GetNewMsg(1001, NULL);
    check(req != NULL, "MSG_GetNewMsg(1001)");
    if (req == NULL)
        return 1;
    check(MSG_SetStr(req, 1, "C-1") == 0, "SetStr");
    check(MSG_SetInt(req, 2, 42) == 0, "SetInt");
    check(MSG_SetDbl(req, 3, 2.5) == 0, "SetDbl");
    check(MSG_SetBool(req, 4, 1) == 0, "SetBool");
    check(MSG_SetDate(req, 5, "20240229") == 0, "SetDate");
    line = MSG_GetNewMsg(2001, NULL);
    check(MSG_SetStr(line, 1, "X1") == 0 && MSG_SetSub(req, 6, line) == 0, "SetSub");
    check(MSG_SetStr(req, 7, "a") == 0 && MSG_SetStr(req, 7, "b") == 0, "memo");

    ans = MSG_GetNewMsg(0, NULL);
    result = Vorant_CallService(atoi(argv[2]), req, ans, &err);
    check(result == 0, "echo call");
    if (result != 0)
        fprintf(stderr, "c-client: echo: %d %d %s\n", result, err.code, err.text);
    check(MSG_GetSelfNum(ans) == 1001, "answer number");
    check(MSG_GetStrLen(ans, 1) == 3 && MSG_GetStr(ans, 1, text) == 0 && strcmp(text, "C-1") == 0, "acct");
    check(MSG_GetInt(ans, 2, &value) == 0 && value == 42, "qty");
    check(MSG_GetDbl(ans, 3, &dbl) == 0 && dbl == 2.5, "price");
    check(MSG_GetBool(ans, 4, &value) == 0 && value == 255, "urgent");
    check(MSG_GetDate(ans, 5, date) == 0 && strcmp(date, "20240229") == 0, "due");
    check(MSG_GetArrSize(ans, 7) == 2, "memo size");
    copy = MSG_GetAtStrArrEx(ans, 7, 1, &result);
    check(copy != NULL && result == 0 && strcmp(copy, "b") == 0, "memo[1]");
    free(copy);
    line = MSG_GetAtSubArr(ans, 6, 0, &result);
    check(line != NULL && result == 0, "lines[0]");
    check(line != NULL && MSG_GetStr(line, 1, text) == 0 && strcmp(text, "X1") == 0, "lines[0].code");

    memset(&opts, 0, sizeof opts);
    opts.size = sizeof opts;
    opts.maxAnswer = 128;
    result = Vorant_CallServiceEx(atoi(argv[2]), req, ans, &opts, &err);
    check(result == -3 && err.code == -5 && strncmp(err.text, "Packet is corrupted(-17)", 24) == 0, "bounded call");
    opts.maxAnswer = 0;
    opts.deadlineMs = 5000;
    check(Vorant_CallServiceEx(atoi(argv[2]), req, ans, &opts, &err) == 0, "call with options");

    result = Vorant_CallService(atoi(argv[3]), req, ans, &err);
    check(result == -4 && err.code == 501 && strcmp(err.text, "denied") == 0 && err.refSvcNum == atoi(argv[3]),
          "reject");

    MSG_Destroy(req);
    MSG_Destroy(ans);
    if (failures == 0)
        printf("c-client ok\n");
    return failures == 0 ? 0 : 1;
}
