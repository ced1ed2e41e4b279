/* Uses the installed flat interface from C. */
#include <vorant/vorant.h>

#include <stdio.h>
#include <string.h>

int main(void) {
    VorantErrorInfo err;
    CMsg* msg = MSG_GetNewMsg(0, NULL);
    if (msg == NULL || MSG_GetSelfNum(msg) != 0)
        return 1;
    if (Vorant_CallService(1, msg, msg, &err) != -1 || err.code != -35 || err.refSvcNum != 1)
        return 2;
    if (Vorant_Initialize("/nonexistent/vorant.conf", &err) != -1 || strncmp(err.text, "File open failed [", 18) != 0)
        return 3;
    if (strcmp(MSG_GetLastError(NULL), "p_pMsg Parameter is NULL") != 0)
        return 4;
    MSG_Destroy(msg);
    printf("ok\n");
    return 0;
}
