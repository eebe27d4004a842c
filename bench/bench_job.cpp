// The job the benchmark hands to skorvel: `bench_job LOG FILE` appends
// "<CLOCK_MONOTONIC ns at start> FILE" to LOG and ends with 0.

#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <string>

int main(int argc, char** argv)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    if (argc < 3) {
        return 64;
    }
    const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
    const std::string line = std::to_string(ns) + ' ' + argv[2] + '\n';
    const int fd = open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return 1;
    }
    [[maybe_unused]] const ssize_t written = write(fd, line.data(), line.size());
    close(fd);
    return 0;
}
