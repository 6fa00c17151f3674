#include "linux-program/VideoRender.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

bool CreatePartialFile(const std::string& output, PartialFile& file, std::string& error)
{
    file.finalPath = output;
    // Through a link the file it names is replaced, not the link.
    struct stat status;
    char resolved[PATH_MAX];
    if (lstat(output.c_str(), &status) == 0 && S_ISLNK(status.st_mode) && realpath(output.c_str(), resolved))
        file.finalPath = resolved;
    if (stat(file.finalPath.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return error = "'" + output + "' exists and is not a regular file", false;
    const std::size_t slash = file.finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : file.finalPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? file.finalPath : file.finalPath.substr(slash + 1);
    // The partial file's name must fit where the video's does: a long name
    // is cut, at a character's first byte, to leave room for the rest.
    constexpr std::string_view suffix = ".partial.XXXXXX";
    if (const std::size_t room = NAME_MAX - 1 - suffix.size(); name.size() > room) {
        std::size_t cut = room;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xc0) == 0x80)
            --cut;
        name.resize(cut);
    }
    std::string pattern = folder + "." + name + std::string(suffix);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        return error = "cannot write into the folder of '" + output + "' (" + std::strerror(errno) + ")", false;
    // mkstemp's 0600 would make the video private; a new file's usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    file.path = buffer.data();
    return true;
}

bool CommitPartialFile(PartialFile& file, std::string& error)
{
    if (rename(file.path.c_str(), file.finalPath.c_str()) != 0) {
        error = "cannot put the video in place as '" + file.finalPath + "' (" + std::strerror(errno) + ")";
        DiscardPartialFile(file);
        return false;
    }
    file.path.clear();
    return true;
}

void DiscardPartialFile(PartialFile& file)
{
    if (!file.path.empty())
        unlink(file.path.c_str());
    file.path.clear();
}

namespace {

volatile std::sig_atomic_t stopSignal = 0;

void AskToStop(int signal)
{
    if (stopSignal == 0)
        stopSignal = signal;
}

}  // namespace

void CatchStopSignals()
{
    struct sigaction action = {};
    action.sa_handler = AskToStop;
    sigemptyset(&action.sa_mask);
    // Writes in progress finish: the flag is looked at between frames.
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int StopSignal() { return stopSignal; }

const char* StopSignalName(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

RenderProgress::RenderProgress(long expectedFrames, double fps)
    : expected_(expectedFrames), fps_(fps), terminal_(isatty(STDERR_FILENO) == 1), start_(Clock::now()),
      last_(start_)
{
}

void RenderProgress::Update(long frames)
{
    const Clock::time_point now = Clock::now();
    const double sinceLast = std::chrono::duration<double>(now - last_).count();
    if (sinceLast < (terminal_ ? 0.25 : 5.0))
        return;
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double speed = elapsed > 0 ? frames / fps_ / elapsed : 0;
    char line[160];
    if (expected_ > frames) {
        const double left = speed > 0 ? (expected_ - frames) / fps_ / speed : 0;
        std::snprintf(line, sizeof line, "brimwave: frame %ld of about %ld (%.0f%%), %.1fx real time, %.0f s left",
                      frames, expected_, 100.0 * frames / expected_, speed, left);
    } else {
        std::snprintf(line, sizeof line, "brimwave: frame %ld, %.1fx real time", frames, speed);
    }
    std::fprintf(stderr, terminal_ ? "\r%s\033[K" : "%s\n", line);
    shown_ = true;
}

void RenderProgress::End()
{
    if (terminal_ && shown_)
        std::fputs("\n", stderr);
    shown_ = false;
}
