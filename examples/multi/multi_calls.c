/* Many calls on one thread with the flat C interface: three calls to the
 * echo service and one that the server rejects, all in flight at once.
 *   multi_calls CONFIG_FILE */
#include <stdio.h>

#include "vorant/vorant.h"

static void on_done(void* user, int callId, int result, const VorantErrorInfo* err) {
    int* left = (int*)user;
    --*left;
    if (result == 0)
        printf("call %d answered\n", callId);
    else
        printf("call %d: result %d, code %d, %s\n", callId, result, err->code, err->text);
}

int main(int argc, char** argv) {
    VorantErrorInfo err;
    CMsg* in;
    CMsg* outs[4];
    const int services[4] = {100, 100, 100, 300};
    VorantMulti* multi;
    int i, left = 4;
    if (argc != 2 || Vorant_Initialize(argv[1], &err) != 0) {
        fprintf(stderr, "usage: multi_calls CONFIG_FILE (%s)\n", argc == 2 ? err.text : "");
        return 2;
    }
    in = MSG_GetNewMsg(1001, NULL);
    MSG_SetStr(in, 1, "A-17");
    MSG_SetInt(in, 2, 5);
    multi = Vorant_MultiCreate(0);
    for (i = 0; i < 4; ++i) {
        outs[i] = MSG_GetNewMsg(1001, NULL);
        Vorant_MultiStart(multi, services[i], in, outs[i], NULL, on_done, &left);
    }
    MSG_Destroy(in); /* the requests are written: in may go at once */
    while (Vorant_MultiPoll(multi, 1000) > 0) {
    }
    Vorant_MultiDestroy(multi);
    for (i = 0; i < 4; ++i)
        MSG_Destroy(outs[i]);
    return left == 0 ? 0 : 1;
}
