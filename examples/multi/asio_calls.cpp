// Calls on an Asio program's own loop: the io_context runs them beside a
// timer of the program's, and returns once everything is done.
//   asio_calls CONFIG_FILE
#include <cstdio>
#include <memory>

#include "vorant/asio.hpp"
#include "vorant/vorant.hpp"

int main(int argc, char** argv) {
    CVorantError err;
    if (argc != 2 || CVorant::Initialize(argv[1], &err) != 0) {
        std::fprintf(stderr, "usage: asio_calls CONFIG_FILE (%s)\n", argc == 2 ? err.GetText().ToStr() : "");
        return 2;
    }
    std::unique_ptr<CMsg> in(MA_NewMsg(1001));
    in->SetValue(1, "A-17");
    CMsg echo, reject;

    asio::io_context io;
    CVorantMulti multi;
    vorant::CAsioMulti driver(io, multi);
    auto report = [](const char* what) {
        return [what](int, int result, const CVorantError& e) {
            std::printf("%s: result %d %s\n", what, result, result == 0 ? "" : e.Repr().ToStr());
        };
    };
    multi.Start(100, in.get(), &echo, nullptr, report("echo"));
    multi.Start(300, in.get(), &reject, nullptr, report("reject"));
    asio::steady_timer tick(io, std::chrono::milliseconds(1));
    tick.async_wait([](const asio::error_code&) { std::printf("the loop's own timer ran too\n"); });
    io.run();
    return 0;
}
