// Calls from several threads at once, on shared read-only inputs, give what a
// single-threaded call gives, bit for bit, errors included: a kernel keeps no
// state and the host keeps its call state per thread.
#include "kernel_fixtures.h"

#include <atomic>
#include <iostream>
#include <thread>

namespace {

using namespace zeltest;

struct SharedCall {
    const KernelCall* call;
    Outcome expected;
};

TEST(ConcurrentCalls, EveryKernelFromSeveralThreadsGivesTheSingleThreadedBits)
{
    std::vector<KernelCall> calls;
    for (const KernelFacts& kernel : all_kernels()) {
        if (!mex_file_exists(kernel.name)) {
            std::cout << "skipping " << kernel.name << ": not built\n";
            continue;
        }
        for (KernelCall& c : contract_calls(kernel.name)) calls.push_back(std::move(c));
        for (KernelCall& c : breaching_calls(kernel)) calls.push_back(std::move(c));
    }
    if (calls.empty()) GTEST_SKIP() << "no kernel is built";

    std::vector<SharedCall> shared;
    for (const KernelCall& c : calls) shared.push_back({&c, outcome_of(call(c.kernel, c.nlhs, c.handles()))});

    const int kThreads = 4, kRounds = 200;
    std::atomic<int> ready{0};
    std::atomic<long> made{0};
    std::vector<std::vector<std::string>> mismatches(kThreads);  // the first few of each thread
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t]() {
            ++ready;
            while (ready.load() < kThreads) std::this_thread::yield();
            // Each thread walks the calls from its own starting point, so that
            // different kernels and errors overlap with each other.
            for (int round = 0; round < kRounds; ++round) {
                for (size_t k = 0; k < shared.size(); ++k) {
                    const SharedCall& s = shared[(k + size_t(t) * 7 + size_t(round)) % shared.size()];
                    const Outcome got = outcome_of(call(s.call->kernel, s.call->nlhs, s.call->handles()));
                    ++made;
                    if (!(got == s.expected) && mismatches[t].size() < 10)
                        mismatches[t].push_back(s.call->kernel + ", " + s.call->what + ": " +
                                                difference(s.expected, got));
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t)
        for (const std::string& m : mismatches[t]) ADD_FAILURE() << "thread " << t << ": " << m;
    EXPECT_EQ(long(kThreads) * kRounds * long(shared.size()), made.load());
    std::cout << made.load() << " calls of " << shared.size() << " fixtures from " << kThreads << " threads\n";
}

}  // namespace
