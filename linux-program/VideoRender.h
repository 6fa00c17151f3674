// What an encoded render promises the user: the output appears complete or
// not at all, a signal ends the render cleanly, and a terminal sees progress.
#pragma once

#include <chrono>
#include <string>

// A file written beside the output (".NAME.partial.XXXXXX", on the same
// file system) and renamed onto it only once complete, so that an existing
// output is replaced by a whole new one or kept.
struct PartialFile {
    std::string finalPath;
    std::string path;  // empty once committed or discarded
};

// Errno's text in `error` when the folder cannot take a file.
bool CreatePartialFile(const std::string& output, PartialFile& file, std::string& error);
bool CommitPartialFile(PartialFile& file, std::string& error);
void DiscardPartialFile(PartialFile& file);

// SIGINT, SIGTERM and SIGHUP, once or again, only ask the render or the
// live run to stop; StopSignal() says which came first, 0 while none has.
void CatchStopSignals();
int StopSignal();
const char* StopSignalName(int signal);

// One line redrawn with "\r" on a terminal, a plain line every few seconds
// otherwise; on standard error.
class RenderProgress {
public:
    RenderProgress(long expectedFrames, double fps);
    void Update(long frames);
    void End();

private:
    using Clock = std::chrono::steady_clock;
    long expected_;
    double fps_;
    bool terminal_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point last_;
};
