#include "CommandRun.h"
#include "TestPaths.h"

#include <HyperVSim/Control.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

extern char** environ;

namespace CommandTest {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (auto& s : strings) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

// A pseudo-terminal whose slave side becomes the child's standard input and error.
struct Terminal {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    std::string slave = master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : "";
    ~Terminal() { close(master); }
    // What the child wrote. It has exited, so everything is buffered already: reading without waiting ends at
    // EAGAIN (or EIO, once the slave side is closed).
    std::string drain() const {
        std::string text;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
            text.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
        return text;
    }
};

}  // namespace

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Result runProgram(std::vector<std::string> argv, const std::filesystem::path& directory, const How& how) {
    // Output goes to files rather than pipes: nothing can block however much the command prints.
    const auto outFile = directory / ".stdout", errFile = directory / ".stderr";
    Terminal terminal;
    // The terminal keeps typed text until the command reads its line.
    if (how.terminal && write(terminal.master, how.typed.data(), how.typed.size()) < 0) return {};
    const char* in = how.terminal ? terminal.slave.c_str() : "/dev/null";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in, O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, how.terminal ? in : errFile.c_str(),
                                     how.terminal ? O_RDWR | O_NOCTTY : O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());

    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (!how.environment.contains(std::string(*entry).substr(0, std::string(*entry).find('='))))
            env.push_back(*entry);
    for (const auto& [name, value] : how.environment)
        if (value) env.push_back(name + "=" + *value);
    Result result;
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, pointers(argv).data(), pointers(env).data()) == 0) {
        int status = 0;
        // The command flushes each piece of its output at once: the file shows how far it has come.
        for (int tries = 0; !how.interruptAt.empty() && tries < 3000 && waitpid(pid, &status, WNOHANG) == 0;
             ++tries, usleep(10000))
            if (readFile(outFile).find(how.interruptAt) != std::string::npos) {
                kill(pid, SIGINT);
                break;
            }
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = readFile(outFile);
    result.err = how.terminal ? terminal.drain() : readFile(errFile);
    std::filesystem::remove(outFile);
    std::filesystem::remove(errFile);
    return result;
}

CommandTest::CommandTest() {
    char pattern[] = "/tmp/velmora-command-test-XXXXXX";
    directory_ = mkdtemp(pattern);
}

Result CommandTest::run(std::vector<std::string> arguments, How how) {
    if (how.state) arguments.insert(arguments.begin(), {"--state", state().string()});
    arguments.insert(arguments.begin(), VelmoraTestPaths::velmoraCommand);
    how.environment.insert(
        {{"XDG_STATE_HOME", (directory_ / "xdg").string()}, {"TMPDIR", directory_.string()}, {"NO_COLOR", {}}});
    return runProgram(arguments, directory_, how);
}

json CommandTest::document(std::vector<std::string> arguments, How how) {
    const auto result = run(std::move(arguments), std::move(how));
    EXPECT_EQ(result.status, 0) << result.err;
    return json::parse(result.out, nullptr, false);
}

std::string CommandTest::masked(std::string text) const {
    const std::string path = directory_.string();
    for (auto pos = text.find(path); pos != std::string::npos; pos = text.find(path, pos))
        text.replace(pos, path.size(), "<tmp>");
    return text;
}

std::string CommandTest::expected(const std::string& name) {
    return readFile(std::filesystem::path(VelmoraTestPaths::expectedFolder) / name);
}

void CommandTest::editHost(const std::function<void()>& edit) {
    if (!std::filesystem::exists(state())) HyperVSim::Control::reset();
    HyperVSim::Control::openStateFile(state().string());
    edit();
    HyperVSim::Control::closeStateFile();
}

std::string CommandTest::createMachine(const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"create"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const auto result = run(arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    return result.out.substr(0, result.out.find('\n'));
}

std::string CommandTest::makeImage(const std::string& name) {
    std::ofstream{directory_ / name};
    return name;
}

}  // namespace CommandTest
