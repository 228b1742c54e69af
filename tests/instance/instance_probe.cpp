// Stands in for the program in the one-meter tests: claims the data folder
// named by its argument. As the folder's meter it prints "meter" and then
// "forward" for every second start that asks and "query: " and the request
// for every other request line (answering "antwort: " and the request), until
// it is signalled; a meter no one can reach also prints "unreachable: " and
// why. As a second start it prints "second" and ends with status 0; when it
// cannot decide it prints "undecided: " and the reason and ends with status 0.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include <QCoreApplication>

#include "instance/SingleInstance.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: instance_probe <data folder> [patience ms]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    velmora::SingleInstance instance(argv[1]);
    const std::chrono::milliseconds patience(argc > 2 ? std::atoi(argv[2]) : 3000);
    const velmora::SingleInstance::Claim claim = instance.claim(patience);
    if (claim == velmora::SingleInstance::Claim::SecondStart) {
        std::printf("second\n");
        return 0;
    }
    if (claim == velmora::SingleInstance::Claim::Undecided) {
        std::printf("undecided: %s\n", instance.undecidedReason().c_str());
        return 0;
    }
    instance.onComeForward([] {
        std::printf("forward\n");
        std::fflush(stdout);
    });
    instance.onQuery([](std::string_view request) {
        std::printf("query: %.*s\n", static_cast<int>(request.size()), request.data());
        std::fflush(stdout);
        return "antwort: " + std::string(request);
    });
    std::printf("meter\n");
    if (!instance.unreachableReason().empty()) std::printf("unreachable: %s\n", instance.unreachableReason().c_str());
    std::fflush(stdout);
    return QCoreApplication::exec();
}
