// The job the system tests hand to skorvel. Usage:
//
//   skorvel_test_job LOG [argument...]
//
// Appends one record to LOG (each argument after LOG, the working folder, the
// nice value, whether it leads its own session and whether standard input is
// /dev/null), then acts on the first line of the file named by its last
// argument, if that file can be read:
//
//   exit N              ends with exit code N
//   signal N            ends by signal N
//   fail-unless PATH    ends with 1 unless PATH exists, else 0
//   sleep-ms N          ends with 0 after N milliseconds
//   (anything else)     ends with 0

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool IsDevNull(int fd)
{
    struct stat in {};
    struct stat null {};
    return fstat(fd, &in) == 0 && stat("/dev/null", &null) == 0 && in.st_rdev == null.st_rdev &&
           S_ISCHR(in.st_mode);
}

std::string Record(int argc, char** argv)
{
    std::ostringstream record;
    record << "run\n";
    for (int i = 2; i < argc; ++i) {
        record << "arg " << argv[i] << '\n';
    }
    char folder[PATH_MAX] = {};
    record << "cwd " << (getcwd(folder, sizeof folder) != nullptr ? folder : "?") << '\n';
    errno = 0;
    record << "nice " << getpriority(PRIO_PROCESS, 0) << '\n';
    record << "session-leader " << (getsid(0) == getpid() ? 1 : 0) << '\n';
    record << "stdin-null " << (IsDevNull(STDIN_FILENO) ? 1 : 0) << '\n';
    record << "end\n";
    return record.str();
}

// O_APPEND and one write: records of jobs never interleave.
void Append(const char* log, const std::string& record)
{
    const int fd = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = write(fd, record.data(), record.size());
        close(fd);
    }
}

int Act(const char* file)
{
    std::ifstream input(file);
    std::string verb;
    std::string value;
    input >> verb >> value;
    if (verb == "exit") {
        return std::stoi(value);
    }
    if (verb == "signal") {
        signal(std::stoi(value), SIG_DFL);
        raise(std::stoi(value));
        return 99;  // not reached for a fatal signal
    }
    if (verb == "sleep-ms") {
        usleep(static_cast<useconds_t>(std::stoi(value)) * 1000U);
        return 0;
    }
    if (verb == "fail-unless") {
        return access(value.c_str(), F_OK) == 0 ? 0 : 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        return 64;
    }
    Append(argv[1], Record(argc, argv));
    return argc > 2 ? Act(argv[argc - 1]) : 0;
}
