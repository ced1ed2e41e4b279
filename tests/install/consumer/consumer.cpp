// Uses the installed class interface: the facade refuses calls before
// initialisation and reports a missing configuration.
#include <vorant/vorant.hpp>

#include <cstdio>
#include <cstring>

int main() {
    CVorantError err;
    CMsg in, out;
    if (CVorant::CallServiceByMsg(1, &in, &out, &err) != -1 || err.GetCode() != -35)
        return 1;
    if (CVorant::Initialize("/nonexistent/vorant.conf", &err) != -1 ||
        std::strncmp(err.GetText(), "File open failed [", 18) != 0)
        return 2;
    CString text = CFormat("%s-%d", "ok", 1);
    std::printf("%s\n", text.ToStr());
    return 0;
}
