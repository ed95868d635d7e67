// cpu_time FILE COMMAND [ARGS...]: runs the command and writes to FILE the CPU time (user +
// system, in seconds) of its process and of the processes it waited for, as the kernel counts it
// for the child (wait4), so that this program's own start is not counted. Answers the command's
// exit status, or 128 + the signal that ended it. The comparison scripts time every program this
// way, ours and the reference programs alike.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: cpu_time FILE COMMAND [ARGS...]\n");
        return 2;
    }
    const pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0)
        if (errno != EINTR) return 2;
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) return 2;
    const double seconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                           + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::fprintf(out, "%.6f\n", seconds);
    if (std::fclose(out) != 0) return 2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
