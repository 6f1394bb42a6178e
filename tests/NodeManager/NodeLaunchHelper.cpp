// Launches a node through the controller as the application does, prints "ready" once the node
// answers, then waits to be killed. The node-life tests kill it to see what becomes of its node.
//
// Usage: NodeLaunchHelper PROGRAM DATA_FOLDER RPC_PORT P2P_PORT
// ends-with-launcher|outlives-launcher

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <iostream>
#include <string>
#include <thread>

#include "corvanta/node/NodeController.h"

int main(int argc, char** argv) {
    using namespace corvanta;
    using namespace std::chrono_literals;
    // A helper whose test died goes with it.
    const pid_t test = ::getppid();
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != test) return 1;
    if (argc != 6) {
        std::cerr << "usage: NodeLaunchHelper PROGRAM DATA_FOLDER RPC_PORT P2P_PORT "
                     "ends-with-launcher|outlives-launcher\n";
        return 2;
    }
    NodeControllerTimings timings;
    timings.process.endsWithApplication = std::string(argv[5]) == "ends-with-launcher";
    NodeController controller(
        argv[1],
        NodeConfiguration(BitcoinNetwork::regtest, argv[2], 0, std::stoi(argv[3]),
                          std::stoi(argv[4]), false, false),
        std::nullopt, timings);
    // Started from a thread that ends at once, as a pool's worker may end.
    std::exception_ptr failure;
    std::thread([&] {
        try {
            controller.startAndConnect(60s, 60s, {});
        } catch (...) {
            failure = std::current_exception();
        }
    }).join();
    try {
        if (failure) std::rethrow_exception(failure);
        controller.status({});
    } catch (const std::exception& error) {
        std::cerr << "the node did not start: " << error.what() << "\n";
        return 1;
    }
    std::cout << "ready" << std::endl;
    for (;;) ::pause();
}
