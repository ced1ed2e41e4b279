// Many calls on one thread with the C++ interface: a fan-out of ten calls,
// at most four under way at once, each with a one-second deadline.
//   multi_calls_cpp CONFIG_FILE
#include <cstdio>
#include <memory>
#include <vector>

#include "vorant/multi.hpp"
#include "vorant/vorant.hpp"

int main(int argc, char** argv) {
    CVorantError err;
    if (argc != 2 || CVorant::Initialize(argv[1], &err) != 0) {
        std::fprintf(stderr, "usage: multi_calls_cpp CONFIG_FILE (%s)\n", argc == 2 ? err.GetText().ToStr() : "");
        return 2;
    }
    std::unique_ptr<CMsg> in(MA_NewMsg(1001));
    in->SetValue(1, "A-17");
    CCallOptions opts;
    opts.m_iDeadlineMs = 1000;

    CVorantMulti multi(4);
    std::vector<std::unique_ptr<CMsg>> answers;
    int answered = 0;
    for (int i = 0; i < 10; ++i) {
        in->SetValue(2, i);
        answers.emplace_back(new CMsg());
        CMsg* out = answers.back().get();
        multi.Start(100, in.get(), out, &opts, [&answered, out](int id, int result, const CVorantError& e) {
            int qty = -1;
            if (result == 0 && out->GetValue(2, &qty) == 0)
                ++answered;
            std::printf("call %d: result %d qty %d %s\n", id, result, qty, e.GetText().ToStr());
        });
    }
    multi.Run();
    std::printf("%d of 10 answered\n", answered);
    return answered == 10 ? 0 : 1;
}
