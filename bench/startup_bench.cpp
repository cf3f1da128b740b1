// SPDX-License-Identifier: MIT
// Start-up of the batch mode, whole process: narravox-term reads the game, prints the
// information and the first location, meets the end of its input and exits. The floor is
// starting a program that does nothing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench_support.h"

extern char** environ;

namespace narravox::bench {
namespace {

std::string OwnPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

// posix_spawn with standard input, output and error on /dev/null, or on `output_fd` for the
// output when it is not -1.
pid_t Spawn(const std::string& program, const std::vector<std::string>& arguments, int output_fd) {
    std::vector<char*> argv;
    std::vector<std::string> owned{program};
    owned.insert(owned.end(), arguments.begin(), arguments.end());
    for (auto& argument : owned) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (output_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, output_fd, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// Unused in a build without narravox-term, which has no start-up to time.
[[maybe_unused]] void TimeStartup(benchmark::State& state, const std::string& program,
                                  const std::vector<std::string>& arguments) {
    double peak = 0;
    double total = 0;
    for (auto _ : state) {
        const ChildFigures figures = MeasureChild(program, arguments);
        if (figures.exit_status != 0) {
            state.SkipWithError("the program did not exit with status 0");
            return;
        }
        state.SetIterationTime(figures.wall_seconds);
        total += figures.wall_seconds;
        peak = std::max(peak, static_cast<double>(figures.peak_kilobytes) / 1024);
    }
    state.counters["peak_MB"] = peak;
    state.counters["wall_ms"] = 1000 * total / static_cast<double>(state.iterations());
}

}  // namespace

ChildFigures MeasureChild(const std::string& program, const std::vector<std::string>& arguments) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        return {0, 0, -1};
    }
    std::vector<std::string> helper_arguments{std::string(kMeasureFlag), program};
    helper_arguments.insert(helper_arguments.end(), arguments.begin(), arguments.end());
    const pid_t helper = Spawn(OwnPath(), helper_arguments, pipe_fds[1]);
    ::close(pipe_fds[1]);
    std::string report;
    char chunk[256];
    ssize_t got;
    while ((got = ::read(pipe_fds[0], chunk, sizeof chunk)) > 0) {
        report.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    if (helper < 0 || ::waitpid(helper, &status, 0) != helper || !WIFEXITED(status)) {
        return {0, 0, -1};
    }
    ChildFigures figures;
    if (std::sscanf(report.c_str(), "%lf %ld %d", &figures.wall_seconds, &figures.peak_kilobytes,
                    &figures.exit_status) != 3) {
        figures.exit_status = -1;
    }
    return figures;
}

int RunMeasureHelper(int argc, char** argv) {
    if (argc < 1) {
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    // A forked child starts its peak from this small helper's pages in use, where a spawned one
    // would start from the helper's whole peak; the child's own peak is what we want.
    const pid_t child = ::fork();
    if (child == 0) {
        const int null_fd = ::open("/dev/null", O_RDWR);
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
        std::vector<char*> child_argv(argv, argv + argc);
        child_argv.push_back(nullptr);
        ::execv(argv[0], child_argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        return 1;
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const int exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.9f %ld %d\n", elapsed.count(), usage.ru_maxrss, exit_status);
    return 0;
}

void RegisterStartupBenchmarks([[maybe_unused]] const Config& config, [[maybe_unused]] Plan& plan) {
#if defined(NARRAVOX_TERM_BINARY) && defined(NARRAVOX_DEMO_FOLDER)
    const std::string term = NARRAVOX_TERM_BINARY;
    const auto add = [](const std::string& name, std::string program,
                        std::vector<std::string> arguments) {
        benchmark::RegisterBenchmark(name.c_str(),
                                     [program, arguments](benchmark::State& state) {
                                         TimeStartup(state, program, arguments);
                                     })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    add("startup/floor", "/bin/true", {});
    add("startup/demo", term, {"--batch", "--game", NARRAVOX_DEMO_FOLDER});
    plan.ratios.push_back({"startup/demo: ours / floor (/bin/true)", "startup/demo",
                           "startup/floor", Ratio::Target::kNone, 0});
    plan.limits.push_back(
        {"startup/demo: wall time per start", "startup/demo", "wall_ms", 20, "ms"});
    plan.limits.push_back({"startup/demo: peak memory", "startup/demo", "peak_MB", 16, "MB"});
    plan.limits.push_back({"startup/floor: peak memory (what the measurement adds)",
                           "startup/floor", "peak_MB", 16, "MB"});

    const std::size_t bytes = config.quick ? 1 << 20 : 64 << 20;
    const std::string name = "startup/" + SizeName(bytes);
    auto lazy = std::make_shared<Lazy<GameOnDisk>>([bytes] { return WriteLargeGame(bytes, 4000); });
    benchmark::RegisterBenchmark(name.c_str(),
                                 [lazy, term](benchmark::State& state) {
                                     const std::string folder = lazy->Get().folder.path().string();
                                     TimeStartup(state, term, {"--batch", "--game", folder});
                                 })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    plan.ratios.push_back(
        {name + ": ours / floor (/bin/true)", name, "startup/floor", Ratio::Target::kNone, 0});
    plan.limits.push_back({name + ": peak memory", name, "peak_MB", 16, "MB"});
#endif
}

}  // namespace narravox::bench
