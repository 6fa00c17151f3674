// brimhost driving a logging stand-in plug-in (fake_vis.dll): the order of
// the calls, the sample bytes, how each run ends, the exit codes and the
// captured frames.
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string hostPath;
std::string fakePath;
std::string realPath;  // the built vis_brim.dll

struct LogLine {
    std::string event;
    std::map<std::string, std::string> fields;
};

struct HostRun {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
    std::vector<LogLine> log;
};

// In the prefix's own temporary folder: two of these tests may run at once,
// each in a prefix of its own.
std::string WorkDirectory()
{
    char temporary[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temporary);
    return std::string(temporary, length) + "brim_host_run\\";
}

std::vector<LogLine> ReadLog(const std::string& path)
{
    std::vector<LogLine> lines;
    std::istringstream text(ReadFileText(path));
    std::string line;
    while (std::getline(text, line)) {
        std::istringstream words(line);
        LogLine entry;
        words >> entry.event;
        std::string word;
        while (words >> word) {
            const std::size_t equals = word.find('=');
            entry.fields[word.substr(0, equals)] = word.substr(equals + 1);
        }
        lines.push_back(entry);
    }
    return lines;
}

HANDLE CreateOutputFile(const std::string& path)
{
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// The host prints in text mode: "\r\n" line ends.
std::string WithoutCarriageReturns(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

// Runs brimhost (or `program`) with the arguments and waits for it; the fake
// logs into the work folder. `whileRunning` acts on the running host (its
// process) first.
HostRun RunHost(const std::wstring& arguments, const std::function<void(HANDLE)>& whileRunning = {},
                const std::string& program = hostPath)
{
    const std::string folder = WorkDirectory();
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string logPath = folder + "fake.log";
    DeleteFileA(logPath.c_str());
    SetEnvironmentVariableA("BRIM_FAKE_LOG", logPath.c_str());

    HostRun run;
    // New files for each run: under qemu's i386 emulation a file recreated
    // with CREATE_ALWAYS was at times read back with the run before's output.
    static int runCount = 0;
    const std::string suffix = std::to_string(++runCount) + ".txt";
    HANDLE out = CreateOutputFile(folder + "out" + suffix);
    HANDLE err = CreateOutputFile(folder + "err" + suffix);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process = {};
    std::wstring commandLine = L"\"" + Widen(program) + L"\" " + arguments;
    const BOOL started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(out);
    CloseHandle(err);
    EXPECT_TRUE(started) << Utf8(commandLine) << ": error " << GetLastError();
    if (!started)
        return run;
    if (whileRunning)
        whileRunning(process.hProcess);
    // A host that never ends is left to ctest's time limit.
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    run.out = WithoutCarriageReturns(ReadFileText(folder + "out" + suffix));
    run.err = WithoutCarriageReturns(ReadFileText(folder + "err" + suffix));
    run.log = ReadLog(logPath);
    return run;
}

// Polls `done` until it holds or the host has ended, however long the host
// takes to start; true when it held.
bool PollWhileRunning(HANDLE process, const std::function<bool()>& done)
{
    while (!done())
        if (WaitForSingleObject(process, 50) != WAIT_TIMEOUT)
            return done();
    return true;
}

HostRun RunHost(const std::string& arguments, const std::function<void(HANDLE)>& whileRunning = {},
                const std::string& program = hostPath)
{
    return RunHost(Widen(arguments), whileRunning, program);
}

std::string Fake()
{
    return "\"" + fakePath + "\"";
}

// Compares the logged events with the expected ones and prints both, line by line.
template <std::size_t N>
void ExpectEvents(const HostRun& run, const char* const (&expected)[N])
{
    std::ostringstream report;
    bool same = run.log.size() == N;
    for (std::size_t i = 0; i < N || i < run.log.size(); ++i) {
        const std::string want = i < N ? expected[i] : "(none)";
        const std::string got = i < run.log.size() ? run.log[i].event : "(none)";
        same = same && want == got;
        report << "  " << i << ": expected " << want << ", got " << got << (want == got ? "" : "  <--") << "\n";
    }
    EXPECT_TRUE(same) << "call sequence differs:\n" << report.str() << "stdout:\n" << run.out << "stderr:\n" << run.err;
}

// Every call on one thread, and the renders numbered 1, 2, ... in order.
void ExpectOneThreadAndCountedFrames(const HostRun& run)
{
    ASSERT_FALSE(run.log.empty());
    int frame = 0;
    for (const LogLine& line : run.log) {
        EXPECT_EQ(line.fields.at("thread"), run.log[0].fields.at("thread")) << line.event;
        if (line.event == "render")
            EXPECT_EQ(line.fields.at("frame"), std::to_string(++frame));
    }
}

// The text after the first occurrence of `part`; empty when there is none.
std::string After(const std::string& text, const std::string& part)
{
    const std::size_t at = text.find(part);
    return at == std::string::npos ? std::string() : text.substr(at + part.size());
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class HostRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(hostPath.empty()) << "brimhost.exe not among the arguments";
        ASSERT_FALSE(fakePath.empty()) << "fake_vis.dll not among the arguments";
        SetEnvironmentVariableA("BRIM_FAKE_VERSION", nullptr);
        SetEnvironmentVariableA("BRIM_FAKE_FAULT", nullptr);
    }
    void TearDown() override { SetEnvironmentVariableA("BRIM_FAKE_FAULT", nullptr); }
};

std::vector<std::string> Events(const HostRun& run)
{
    std::vector<std::string> events;
    for (const LogLine& line : run.log)
        events.push_back(line.event);
    return events;
}

// A copy of brimhost called Brimwave.exe, which makes it the viewer.
std::string ViewerCopy()
{
    const std::string folder = WorkDirectory() + "viewer";
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string viewer = folder + "\\Brimwave.exe";
    EXPECT_TRUE(CopyFileA(hostPath.c_str(), viewer.c_str(), FALSE)) << GetLastError();
    return viewer;
}

TEST_F(HostRunTest, RunsAModuleAsThePlayerDoesUntilItPostsQuit)
{
    const HostRun run = RunHost(Fake());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    // A message waiting after a frame is dispatched before the next frame.
    const char* const expected[] = {
        "init",   "render", "message", "render", "message", "render",
        "message", "render", "message", "render", "message", "quit",
    };
    ExpectEvents(run, expected);
    ExpectOneThreadAndCountedFrames(run);
    const LogLine& init = run.log.front();
    EXPECT_EQ(init.fields.at("hostwindow"), "1") << "a live host window before Init";
    EXPECT_EQ(init.fields.at("instance"), "1") << "the record's instance is the plug-in's module";
    EXPECT_EQ(init.fields.at("rate"), "44100");
    std::vector<std::string> hashes;
    for (const LogLine& line : run.log) {
        if (line.event != "render")
            continue;
        EXPECT_GT(std::stoi(line.fields.at("wavenonzero")), 500) << "frame " << line.fields.at("frame");
        EXPECT_GT(std::stoi(line.fields.at("spectrumnonzero")), 50) << "frame " << line.fields.at("frame");
        for (const std::string& seen : hashes)
            EXPECT_NE(line.fields.at("wave"), seen) << "fresh waveform bytes for frame " << line.fields.at("frame");
        hashes.push_back(line.fields.at("wave"));
    }
    EXPECT_EQ(run.log.back().fields.at("hostwindow"), "1") << "Quit while the host window lives";
    EXPECT_TRUE(Contains(run.out, "ended: the plug-in posted the quit message (code 0)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "frames: 5 ")) << run.out;
    EXPECT_TRUE(Contains(run.out, "fps: ")) << run.out;
}

TEST_F(HostRunTest, RenderResultAndClosingTheHostEndTheRun)
{
    const HostRun byRender = RunHost("--module 2 " + Fake());
    EXPECT_EQ(byRender.exitCode, 0u) << byRender.err;
    const char* const renderEnds[] = {"init", "render", "message", "render", "message", "render", "quit"};
    ExpectEvents(byRender, renderEnds);
    EXPECT_TRUE(Contains(byRender.out, "ended: Render returned non-zero (3)")) << byRender.out;

    const HostRun byClose = RunHost("--module 3 " + Fake());
    EXPECT_EQ(byClose.exitCode, 0u) << byClose.err;
    const char* const hostCloses[] = {"init", "render", "message", "render",  "message",
                                      "render", "message", "render", "message", "quit"};
    ExpectEvents(byClose, hostCloses);
    ExpectOneThreadAndCountedFrames(byClose);
    EXPECT_EQ(byClose.log.back().fields.at("hostwindow"), "1") << "the host window outlives Quit";
    EXPECT_TRUE(Contains(byClose.out, "ended: the host window was closed")) << byClose.out;
}

TEST_F(HostRunTest, FrameAndTimeLimitsEndTheRunAndSilenceGivesZeroBytes)
{
    const HostRun run = RunHost("--module 4 --frames 7 --no-sleep --silence " + Fake());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    const char* const expected[] = {"init", "render", "render", "render", "render", "render", "render", "render", "quit"};
    ExpectEvents(run, expected);
    for (const LogLine& line : run.log)
        if (line.event == "render") {
            EXPECT_EQ(line.fields.at("wavenonzero"), "0");
            EXPECT_EQ(line.fields.at("spectrumnonzero"), "0");
        }
    EXPECT_TRUE(Contains(run.out, "ended: frame limit reached")) << run.out;
    EXPECT_TRUE(Contains(run.out, "frames: 7 ")) << run.out;

    const HostRun timed = RunHost("--module 4 --seconds 0.2 --fps 100 " + Fake());
    EXPECT_EQ(timed.exitCode, 0u) << timed.err;
    ASSERT_GE(timed.log.size(), 3u);
    EXPECT_EQ(timed.log.front().event, "init");
    EXPECT_EQ(timed.log[1].event, "render");
    EXPECT_EQ(timed.log.back().event, "quit");
    EXPECT_TRUE(Contains(timed.out, "ended: time limit reached")) << timed.out;
}

TEST_F(HostRunTest, StartUpTimesRunFromInitAndTheRateLeavesOutTheFirstFrame)
{
    // The fake sleeps 300 ms in Init and 1000 ms in its first Render only.
    SetEnvironmentVariableA("BRIM_FAKE_SLOW_START", "1");
    const HostRun run = RunHost("--module 4 --frames 6 --no-sleep " + Fake());
    SetEnvironmentVariableA("BRIM_FAKE_SLOW_START", nullptr);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    double initMs = 0, firstFrameMs = 0, steadyFps = 0;
    ASSERT_EQ(std::sscanf(After(run.out, "start-up: ").c_str(), "Init %lf ms, first frame %lf ms", &initMs,
                          &firstFrameMs), 2) << run.out;
    ASSERT_EQ(std::sscanf(After(run.out, "after the first frame: ").c_str(), "fps: %lf", &steadyFps), 1) << run.out;
    EXPECT_GE(initMs, 290.0) << run.out;
    EXPECT_GE(firstFrameMs, initMs + 990.0) << "the first frame counts from the start of Init\n" << run.out;
    // Counting the slow first frame would give at most 5 frames a second.
    EXPECT_GT(steadyFps, 5.0) << run.out;
}

// Stereo at 22050 Hz: left sample i is i*256, right is -i*256, so the
// waveform bytes are i and -i as signed chars.
std::string RampWav()
{
    std::string wav = "RIFF....WAVEfmt ";
    auto put32 = [&wav](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&wav](unsigned v) {
        wav += static_cast<char>(v & 0xFF);
        wav += static_cast<char>((v >> 8) & 0xFF);
    };
    put32(16);
    put16(1);
    put16(2);
    put32(22050);
    put32(22050 * 4);
    put16(4);
    put16(16);
    wav += "data";
    put32(1000 * 4);
    for (int i = 0; i < 1000; ++i) {
        put16(static_cast<std::uint16_t>((i % 100) * 256));
        put16(static_cast<std::uint16_t>(-(i % 100) * 256));
    }
    return wav;
}

TEST_F(HostRunTest, FeedsTheSamplesOfAWavFile)
{
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    const std::string wavPath = WorkDirectory() + "ramp.wav";
    WriteFileText(wavPath, RampWav());

    const HostRun run = RunHost("--module 4 --frames 1 --no-sleep --wav \"" + wavPath + "\" " + Fake());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ASSERT_EQ(run.log.size(), 3u);
    EXPECT_EQ(run.log[0].fields.at("rate"), "22050");
    EXPECT_EQ(run.log[1].fields.at("left"), "0,1,2,3");
    EXPECT_EQ(run.log[1].fields.at("right"), "0,255,254,253");

    const std::string notWav = WorkDirectory() + "not.wav";
    WriteFileText(notWav, "hello, this is text");
    const HostRun bad = RunHost("--wav \"" + notWav + "\" " + Fake());
    EXPECT_EQ(bad.exitCode, 7u);
    EXPECT_TRUE(Contains(bad.err, "not a RIFF/WAVE file")) << bad.err;
    EXPECT_TRUE(bad.log.empty()) << "the file is checked before Init";
}

TEST_F(HostRunTest, TakesPathsTheAnsiCodePageCannotHold)
{
    // CJK and Thai: no ANSI code page holds both.
    const std::wstring folder = Widen(WorkDirectory()) + L"\u96EA\u4EBA-\u0E01\u0E02\\";
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring plugin = L"\"" + folder + L"fake.dll\"";
    ASSERT_TRUE(CopyFileW(Widen(fakePath).c_str(), (folder + L"fake.dll").c_str(), FALSE));
    WriteFileText(folder + L"ramp.wav", RampWav());

    const HostRun run = RunHost(L"--frames 2 --wav \"" + folder + L"ramp.wav\" --capture \"" + folder +
                                L"frames\" --snapshot \"" + folder + L"last.png\" " + plugin);
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    ASSERT_FALSE(run.log.empty()) << run.err;
    EXPECT_EQ(run.log[0].fields.at("rate"), "22050") << "the WAV file's rate";
    EXPECT_EQ(ReadFileText(folder + L"frames\\frame_000002.png").substr(1, 3), "PNG");
    EXPECT_EQ(ReadFileText(folder + L"last.png").substr(1, 3), "PNG");

    const HostRun video = RunHost(L"--render --size 200x100 --raw-video \"" + folder + L"frames.raw\" " + plugin);
    EXPECT_EQ(video.exitCode, 0u) << video.err;
    EXPECT_EQ(ReadFileText(folder + L"frames.raw").size(), 5u * 200 * 100 * 4);
}

// A stereo 16-bit file at 22050 Hz whose samples in block k (576 samples)
// are all (k mod 128) * 256, so a frame's first waveform byte names its block.
std::string BlockNumberedWav(int seconds)
{
    std::string wav = "RIFF";
    auto put = [&wav](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            wav += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    const std::uint32_t frames = 22050u * seconds;
    put(36 + 4 * frames, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(22050, 4);
    put(22050 * 4, 4);
    put(4, 2);
    put(16, 2);
    wav += "data";
    put(4 * frames, 4);
    for (std::uint32_t n = 0; n < frames; ++n)
        put((n / 576 % 128) * 256 * 0x10001u, 4);
    const std::string path = WorkDirectory() + "blocks.wav";
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    WriteFileText(path, wav);
    return path;
}

struct Frame {
    double ms;
    int block;
};

std::vector<Frame> Frames(const HostRun& run)
{
    std::vector<Frame> frames;
    for (const LogLine& line : run.log)
        if (line.event == "render")
            frames.push_back({std::stod(line.fields.at("ms")), std::stoi(line.fields.at("left"))});
    return frames;
}

double RunSeconds(const HostRun& run)
{
    const std::size_t at = run.out.find("seconds: ");
    return at == std::string::npos ? -1.0 : std::stod(run.out.substr(at + 9));
}

TEST_F(HostRunTest, PacedRunsShowTheBlockTheClockIsAtAndSlowFramesSkipBlocks)
{
    const std::string wav = " --wav \"" + BlockNumberedWav(3) + "\" ";
    constexpr double blocksPerSecond = 22050.0 / 576;
    constexpr double blocksPerMs = blocksPerSecond / 1000;
    constexpr double latencyMs = 25;  // the fake's
    struct Case {
        const char* arguments;
        int maxFrames;  // one per period at most, however late frames run
        int minStep;    // fewest blocks from one frame to the next
    };
    const Case cases[] = {
        {"--module 4 --fps 20 --seconds 1", 21, 0},
        {"--module 6 --fps 40 --seconds 1", 11, 3},  // 100 ms a frame: about four blocks on each time
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const HostRun run = RunHost(c.arguments + wav + Fake());
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_TRUE(Contains(run.out, "ended: time limit reached")) << run.out;
        EXPECT_GE(RunSeconds(run), 1.0) << run.out;
        const std::vector<Frame> frames = Frames(run);
        ASSERT_GE(frames.size(), 2u) << run.out;
        EXPECT_LE(static_cast<int>(frames.size()), c.maxFrames);
        // The host reads its clock after the Render before ends and before
        // this one logs its time, and shows the block nearest that clock plus
        // the latency: each frame bounds when the clock started. One start
        // must fit every frame, however late each ran (1 ms for the log's
        // rounding).
        double earliestStart = -1e300, latestStart = frames[0].ms;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            latestStart = std::min(latestStart, frames[i].ms + latencyMs - (frames[i].block - 0.5) / blocksPerMs + 1);
            if (i > 0) {
                earliestStart = std::max(earliestStart,
                                         frames[i - 1].ms + latencyMs - (frames[i].block + 0.5) / blocksPerMs - 1);
                EXPECT_GE(frames[i].block - frames[i - 1].block, c.minStep) << "frame " << i;
            }
        }
        EXPECT_LE(earliestStart, latestStart) << "no one clock start fits the blocks shown\n" << run.out;
    }

    // Offline, frame i shows the block at i / 10 s, and the run ends with the file.
    const HostRun offline = RunHost("--module 4 --render-fps 10" + wav + Fake());
    EXPECT_EQ(offline.exitCode, 0u) << offline.err;
    EXPECT_TRUE(Contains(offline.out, "ended: end of the audio")) << offline.out;
    const std::vector<Frame> frames = Frames(offline);
    ASSERT_EQ(frames.size(), 30u);
    for (std::size_t i = 0; i < frames.size(); ++i)
        EXPECT_EQ(frames[i].block, std::lround(i / 10.0 * blocksPerSecond) % 128) << "frame " << i;

    // A twenty-second wait between frames ends at the time limit, and
    // answers messages: a close posted after the first frame ends the run
    // before the second was due.
    const HostRun slow = RunHost("--module 4 --fps 0.05 --seconds 1 " + Fake());
    EXPECT_TRUE(Contains(slow.out, "ended: time limit reached")) << slow.out;
    EXPECT_LT(RunSeconds(slow), 20.0) << slow.out;
    EXPECT_EQ(Frames(slow).size(), 1u);
    bool posted = false;
    const std::string logPath = WorkDirectory() + "fake.log";
    const HostRun closed = RunHost("--module 4 --fps 0.05 " + Fake(), [&posted, &logPath](HANDLE process) {
        HWND host = nullptr;
        PollWhileRunning(process, [&host, &logPath] {
            host = FindWindowA("BrimwaveHost", nullptr);
            return host != nullptr && ReadFileText(logPath).find("render") != std::string::npos;
        });
        posted = host != nullptr && PostMessageA(host, WM_CLOSE, 0, 0) != FALSE;
    });
    ASSERT_TRUE(posted) << closed.out;
    EXPECT_TRUE(Contains(closed.out, "ended: the host window was closed")) << closed.out;
    EXPECT_LT(RunSeconds(closed), 20.0) << "closed during the wait\n" << closed.out;
    EXPECT_EQ(Frames(closed).size(), 1u);
}

TEST_F(HostRunTest, RawVideoHoldsEveryFrameTopRowFirst)
{
    // The fake paints with GDI, so its frames come from the window: frame n
    // in colour n % 4, blue, red, green, yellow, as blue, green, red, unused.
    const std::string path = WorkDirectory() + "frames.raw";
    DeleteFileA(path.c_str());
    const HostRun run = RunHost("--render --size 200x100 --raw-video \"" + path + "\" " + Fake());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(Contains(run.out, "raw video: 5 frames (5 copied from the window)")) << run.out;
    const std::string raw = ReadFileText(path);
    constexpr std::size_t frameBytes = 200 * 100 * 4;
    ASSERT_EQ(raw.size(), 5 * frameBytes);
    const unsigned bgrx[4] = {0x0000FFu, 0xFF0000u, 0x00FF00u, 0xFFFF00u};  // read as little-endian words
    for (int frame = 1; frame <= 5; ++frame)
        for (std::size_t pixel : {std::size_t{0}, std::size_t{200 * 100 - 1}}) {
            unsigned value;
            std::memcpy(&value, raw.data() + (frame - 1) * frameBytes + 4 * pixel, 4);
            EXPECT_EQ(value & 0xFFFFFFu, bgrx[frame % 4]) << "frame " << frame << " pixel " << pixel;
        }

    const HostRun bad = RunHost("--render --raw-video Z:\\nonexistent\\frames.raw " + Fake());
    EXPECT_EQ(bad.exitCode, 8u);
    EXPECT_TRUE(Contains(bad.err, "cannot open 'Z:\\nonexistent\\frames.raw' for the raw video")) << bad.err;
    EXPECT_FALSE(Contains(bad.err, "%1")) << bad.err;
}

TEST_F(HostRunTest, ConfigAndListRunNoModule)
{
    const HostRun config = RunHost("--config --module 2 " + Fake());
    EXPECT_EQ(config.exitCode, 0u) << config.err;
    const char* const expected[] = {"config"};
    ExpectEvents(config, expected);
    ASSERT_EQ(config.log.size(), 1u);
    EXPECT_EQ(config.log[0].fields.at("module"), "2");
    EXPECT_EQ(config.log[0].fields.at("hostwindow"), "1");
    EXPECT_EQ(config.log[0].fields.at("instance"), "1");

    const HostRun list = RunHost("--list " + Fake());
    EXPECT_EQ(list.exitCode, 0u) << list.err;
    EXPECT_TRUE(list.log.empty());
    EXPECT_EQ(list.out,
              "Fake visualization for host tests\n"
              "0: Quits after five frames\n"
              "1: Init fails\n"
              "2: Render ends in frame three\n"
              "3: Closes the host in frame four\n"
              "4: Windowless\n"
              "5: Draws in a child of the host\n"
              "6: Slow to render\n"
              "7: Closes its window in frame three\n");
}

TEST_F(HostRunTest, EachFailureHasItsExitCodeAndMessage)
{
    struct Case {
        std::string arguments;
        const char* version;  // BRIM_FAKE_VERSION, or null
        DWORD exitCode;
        std::string message;
        std::vector<std::string> events;
    };
    // Not a DLL: the system's text for that has an insert, "%1".
    const std::string textFile = WorkDirectory() + "text.dll";
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    WriteFileText(textFile, "not a DLL");
    const Case cases[] = {
        {"--bogus " + Fake(), nullptr, 1, "unknown option '--bogus'", {}},
        {"--frames 0 " + Fake(), nullptr, 1, "bad value '0' for --frames", {}},
        {"--frames 3", nullptr, 1, "no plug-in DLL given", {}},
        {"Z:\\nonexistent\\none.dll", nullptr, 2, "cannot load 'Z:\\nonexistent\\none.dll'", {}},
        {"user32.dll", nullptr, 3, "does not export winampVisGetHeader", {}},
        // 5
        {Fake(), "0x100", 4, "header version 0x100, expected 0x101", {}},
        {"--module 8 " + Fake(), nullptr, 5, "no module 8", {}},
        {"--module -1 " + Fake(), nullptr, 5, "no module -1", {}},
        {"--module 1 " + Fake(), nullptr, 6, "Init of module 1 returned 1", {"init"}},
        {"--module 4 --capture \"" + WorkDirectory() + "none\" " + Fake(), nullptr, 8, "opened no window to capture",
         {"init", "quit"}},
        {"--module 4 --snapshot none.png " + Fake(), nullptr, 8, "opened no window to capture", {"init", "quit"}},
        // 10
        {"\"" + textFile + "\"", nullptr, 2, "for '" + textFile + "'", {}},
        {"--snapshot Z:\\nonexistent\\last.png " + Fake(), nullptr, 8, "its folder does not exist", {}},
        {"--module 1 --module 2 " + Fake(), nullptr, 1, "option '--module' given twice", {}},
        {"--list --list-devices " + Fake(), nullptr, 1, "--list and --list-devices exclude each other", {}},
        {"--config --render " + Fake(), nullptr, 1, "--config runs no module: --render does not apply", {}},
        // 15
        {"--fps 0x10 " + Fake(), nullptr, 1, "bad value '0x10' for --fps", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        SetEnvironmentVariableA("BRIM_FAKE_VERSION", c.version);
        const HostRun run = RunHost(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_EQ(run.err.rfind("brimhost: ", 0), 0u) << run.err;
        EXPECT_TRUE(Contains(run.err, c.message)) << run.err;
        EXPECT_FALSE(Contains(run.err, "%1")) << "a system text's insert left unfilled";
        std::vector<std::string> events;
        for (const LogLine& line : run.log)
            events.push_back(line.event);
        EXPECT_EQ(events, c.events);
    }
    SetEnvironmentVariableA("BRIM_FAKE_VERSION", nullptr);

    const HostRun help = RunHost("--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_TRUE(Contains(help.out, "exit codes:")) << help.out;
    EXPECT_EQ(help.out.rfind("usage: brimhost.exe ", 0), 0u) << help.out;
}

TEST_F(HostRunTest, APluginThatHangsOrCrashesInAnEntryEndsTheHostWithALineNamingIt)
{
    // A limit far above what any entry of the fake takes, even emulated.
    const std::string watchdog = "--watchdog 10 ";
    struct Case {
        const char* fault;  // BRIM_FAKE_FAULT
        std::string arguments;
        DWORD exitCode;
        std::string message;
        std::vector<std::string> events;
    };
    const std::string crashed = "brimhost: the plug-in '" + fakePath + "' crashed in ";
    const std::string hung = "brimhost: the plug-in '" + fakePath + "': its ";
    const bool emulated = GetEnvironmentVariableA("BRIM_I386_EMULATED", nullptr, 0) != 0;
    const Case cases[] = {
        {"init:hang", watchdog + "--module 4 --frames 2 ", 11, hung + "Init has not returned for 10 s", {"init"}},
        {"render:hang", watchdog + "--module 4 --seconds 2 ", 11, hung + "Render has not returned for 10 s",
         {"init", "render"}},
        {"render:hang", watchdog + "--render ", 11, hung + "Render has not returned for 10 s", {"init", "render"}},
        {"quit:hang", watchdog + "--module 4 --frames 2 ", 11, hung + "Quit has not returned for 10 s",
         {"init", "render", "render", "quit"}},
        {"init:access", "", 12, crashed + "Init: access violation (0xC0000005)", {"init"}},
        // 5
        {"render:access", "--frames 2 ", 12, crashed + "Render: access violation (0xC0000005)", {"init", "render"}},
        {"render:overflow", "", 12, crashed + "Render: stack overflow (0xC00000FD)", {"init", "render"}},
        {"render:throw", "", 12, crashed + "Render: abort() was called (as by an uncaught C++ exception)",
         {"init", "render"}},
        {"quit:access", "--module 4 --frames 1 ", 12, crashed + "Quit: access violation (0xC0000005)",
         {"init", "render", "quit"}},
        {"config:access", "--config ", 12, crashed + "Config: access violation (0xC0000005)", {"config"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + " " + c.arguments);
        SetEnvironmentVariableA("BRIM_FAKE_FAULT", c.fault);
        const HostRun run = RunHost(c.arguments + Fake());
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        // Under an i386 emulator a fault reaches Wine as whatever signal the
        // emulator raises (seen: an illegal instruction for a null write), so
        // there only the entry is checked, not the exception's name.
        const std::size_t entryEnd = c.message.find(": ", crashed.size());
        if (emulated && c.exitCode == 12 && entryEnd != std::string::npos)
            EXPECT_TRUE(Contains(run.err, c.message.substr(0, entryEnd + 2))) << run.err;
        else
            EXPECT_TRUE(Contains(run.err, c.message + "\n")) << "the whole line\n" << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), c.fault == std::string("render:throw") ? 2 : 1)
            << "one line (and the runtime's own before an abort)\n" << run.err;
        EXPECT_EQ(Events(run), c.events);
    }
}

TEST_F(HostRunTest, TheViewerRefusesWhatBrimhostRefusesInItsOwnName)
{
    const std::string viewer = ViewerCopy();
    struct Case {
        const char* fault;  // BRIM_FAKE_FAULT, or null
        std::string arguments;
        DWORD exitCode;
        std::string message;
    };
    // --silence: the viewer would listen to the PC otherwise.
    const Case cases[] = {
        {nullptr, "--silence --module 8 " + Fake(), 5, "Brimwave.exe: the plug-in has no module 8"},
        {nullptr, "--silence --module -1 " + Fake(), 5, "Brimwave.exe: the plug-in has no module -1"},
        {nullptr, "--bogus", 1, "Brimwave.exe: unknown option '--bogus'\n(Brimwave.exe --help lists"},
        {"render:access", "--silence " + Fake(), 12, "Brimwave.exe: the plug-in '" + fakePath + "' crashed in Render"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        SetEnvironmentVariableA("BRIM_FAKE_FAULT", c.fault);
        const HostRun run = RunHost(c.arguments, {}, viewer);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        EXPECT_EQ(run.err.rfind(c.message, 0), 0u) << run.err;
        const std::vector<std::string> none, crashedInRender = {"init", "render"};
        EXPECT_EQ(Events(run), c.fault == nullptr ? none : crashedInRender);
    }
    const HostRun help = RunHost("--help", {}, viewer);
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_EQ(help.out.rfind("usage: Brimwave.exe ", 0), 0u) << help.out;
}

// Brimwave.exe beside a copy of the built plug-in, with the plugin.ini given,
// in a folder of its own; the folder's path.
std::string ViewerBesideThePlugin(const std::string& name, const std::string& iniText)
{
    const std::string folder = WorkDirectory() + name;
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    EXPECT_TRUE(CopyFileA(hostPath.c_str(), (folder + "\\Brimwave.exe").c_str(), FALSE)) << GetLastError();
    EXPECT_TRUE(CopyFileA(realPath.c_str(), (folder + "\\vis_brim.dll").c_str(), FALSE)) << GetLastError();
    WriteFileText(folder + "\\plugin.ini", iniText);
    return folder;
}

// Polls `done` for up to `seconds` while the host runs.
bool PollFor(HANDLE process, double seconds, const std::function<bool()>& done)
{
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds * 1000);
    return PollWhileRunning(process, [&done, end] { return done() || static_cast<LONG>(GetTickCount() - end) >= 0; }) &&
           done();
}

// The plug-in's window titled `title`, once it is there; null if the host ended first.
HWND WaitForBrimwaveWindow(HANDLE process, const char* title)
{
    HWND window = nullptr;
    PollWhileRunning(process, [&window, title] { return (window = FindWindowA("Brimwave", title)) != nullptr; });
    return window;
}

std::string Place(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

std::string Place(HWND window)
{
    RECT outer = {};
    GetWindowRect(window, &outer);
    return Place(outer);
}

bool CoversTheScreen(HWND window)
{
    const RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return Place(window) == Place(screen) && (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == 0;
}

void PostDoubleClick(HWND window)
{
    for (int click = 0; click < 2; ++click) {
        PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 50));
        PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(60, 50));
    }
}

void PostKeyDown(HWND window, WPARAM key)
{
    PostMessageA(window, WM_KEYDOWN, key, 0x00010001);
}

struct SavedKey {
    const char* section;
    const char* key;
    int value;
};

void ExpectSaved(const std::string& ini, const std::vector<SavedKey>& keys)
{
    for (const SavedKey& k : keys)
        EXPECT_EQ(GetPrivateProfileIntA(k.section, k.key, INT_MIN, ini.c_str()), k.value) << k.section << " " << k.key;
}

TEST_F(HostRunTest, EachModuleTheViewerOpensStartsFromItsOwnSectionOrTheDefaults)
{
    ASSERT_FALSE(realPath.empty()) << "vis_brim.dll not among the arguments";
    // No Spheres section, and a Texture section with only two keys.
    const std::string folder = ViewerBesideThePlugin(
        "viewer-sections",
        "[Rectangles]\r\nscreen_x=300\r\nscreen_y=200\r\nscreen_w=500\r\nscreen_h=400\r\nvistype=0\r\n"
        "fallspeed=300\r\nscales=1234\r\nscalew=4321\r\n[Rectangle/Texture(prelim)]\r\nscreen_x=120\r\nscales=2222\r\n");
    struct Step {
        const char* title;
        WPARAM key;
        std::string opened;  // where its window opened
        std::string expected;
    };
    Step steps[] = {
        {"Rectangles", 'M', "(none)", "300,200 500x400"},
        {"Spheres", 'M', "(none)", "50,50 640x480"},
        {"Rectangle/Texture(prelim)", VK_ESCAPE, "(none)", "120,50 640x480"},
    };
    const HostRun run = RunHost("--silence --seconds 30", [&steps](HANDLE process) {
        for (Step& step : steps) {
            HWND window = WaitForBrimwaveWindow(process, step.title);
            if (window == nullptr)
                return;
            step.opened = Place(window);
            PostKeyDown(window, step.key);
        }
    }, folder + "\\Brimwave.exe");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "module 2: Rectangle/Texture(prelim)\nended: the plug-in posted the quit message"))
        << run.out;
    for (const Step& step : steps)
        EXPECT_EQ(step.opened, step.expected) << step.title << "'s window";

    const char* spheres = "Spheres";
    const char* texture = "Rectangle/Texture(prelim)";
    ExpectSaved(folder + "\\plugin.ini",
                {
                    {"Rectangles", "screen_x", 300}, {"Rectangles", "scales", 1234}, {"Rectangles", "scalew", 4321},
                    // The plug-in's defaults, as a first start saves them.
                    {spheres, "screen_x", 50}, {spheres, "screen_y", 50}, {spheres, "screen_w", 640},
                    {spheres, "screen_h", 480}, {spheres, "vistype", 1}, {spheres, "fallspeed", 77},
                    {spheres, "scales", 500}, {spheres, "scalew", 10000}, {spheres, "detail", 10},
                    {spheres, "lines", 0},
                    // Its own two keys, and the defaults for the rest.
                    {texture, "screen_x", 120}, {texture, "screen_y", 50}, {texture, "screen_w", 640},
                    {texture, "screen_h", 480}, {texture, "vistype", 1}, {texture, "fallspeed", 77},
                    {texture, "scales", 2222}, {texture, "scalew", 10000},
                });
}

TEST_F(HostRunTest, MInFullScreenOpensTheViewersNextModuleInFullScreen)
{
    ASSERT_FALSE(realPath.empty()) << "vis_brim.dll not among the arguments";
    const std::string folder = ViewerBesideThePlugin(
        "viewer-full-screen", "[Rectangles]\r\nscreen_x=100\r\nscreen_y=80\r\nscreen_w=320\r\nscreen_h=240\r\n"
                              "[Spheres]\r\nscreen_x=200\r\nscreen_y=90\r\nscreen_w=400\r\nscreen_h=300\r\n");
    bool firstFull = false, nextFull = false, nextFramed = false;
    std::string nextLeft = "(none)";
    const HostRun run = RunHost("--silence --seconds 60", [&](HANDLE process) {
        HWND rectangles = WaitForBrimwaveWindow(process, "Rectangles");
        if (rectangles == nullptr)
            return;
        PostDoubleClick(rectangles);
        firstFull = PollFor(process, 10, [rectangles] { return CoversTheScreen(rectangles); });
        PostKeyDown(rectangles, 'M');
        HWND spheres = WaitForBrimwaveWindow(process, "Spheres");
        if (spheres == nullptr)
            return;
        nextFull = PollFor(process, 10, [spheres] { return CoversTheScreen(spheres); });
        // Leaving full screen brings the module's own window back.
        PostDoubleClick(spheres);
        nextFramed = PollFor(process, 10, [spheres] { return (GetWindowLongA(spheres, GWL_STYLE) & WS_CAPTION) != 0; });
        nextLeft = Place(spheres);
        PostKeyDown(spheres, VK_ESCAPE);
    }, folder + "\\Brimwave.exe");
    EXPECT_EQ(run.exitCode, 0u) << run.out << run.err;
    EXPECT_TRUE(firstFull) << "the double-click made the first module full screen";
    EXPECT_TRUE(nextFull) << "the next module opens in full screen\n" << run.out;
    EXPECT_TRUE(nextFramed);
    EXPECT_EQ(nextLeft, "200,90 400x300") << "framed again at its own place";
    ExpectSaved(folder + "\\plugin.ini", {{"Rectangles", "screen_x", 100}, {"Rectangles", "screen_w", 320},
                                          {"Spheres", "screen_x", 200}, {"Spheres", "screen_y", 90},
                                          {"Spheres", "screen_w", 400}, {"Spheres", "screen_h", 300}});
}

TEST_F(HostRunTest, APluginWindowClosedWithoutAQuitMessageEndsTheRun)
{
    for (const std::string& program : {hostPath, ViewerCopy()}) {
        SCOPED_TRACE(program);
        const HostRun run = RunHost("--silence --module 7 --seconds 10 " + Fake(), {}, program);
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        const char* const expected[] = {"init", "render", "message", "render", "message", "render", "message", "quit"};
        ExpectEvents(run, expected);
        ASSERT_FALSE(run.log.empty());
        EXPECT_EQ(run.log.back().fields.at("window"), "0") << "the window was gone before Quit";
        EXPECT_TRUE(Contains(run.out, "ended: the plug-in's window was closed\n")) << run.out;
    }
}

TEST_F(HostRunTest, ASizedOrOfflineRunPutsThePluginWindowBackBeforeQuit)
{
    // Where the fake's window is as Quit begins, with and without --size.
    auto placeAtQuit = [](const std::string& arguments) {
        const HostRun run = RunHost(arguments + Fake());
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        if (run.log.empty() || run.log.back().fields.count("place") == 0)
            return std::string("(no place at Quit)");
        return run.log.back().fields.at("place");
    };
    const std::string opened = placeAtQuit("--frames 2 ");
    ASSERT_NE(opened, "0,0,0,0");
    EXPECT_EQ(placeAtQuit("--frames 2 --size 200x100 "), opened);
    EXPECT_EQ(placeAtQuit("--render --size 1000x700 "), opened);
}

struct Bitmap {
    int width = 0;
    int height = 0;
    std::string bytes;

    // Red, green, blue of pixel (x, y), top row 0.
    COLORREF Pixel(int x, int y) const
    {
        const int rowBytes = (3 * width + 3) & ~3;
        const std::size_t at = 54 + static_cast<std::size_t>(rowBytes) * (height - 1 - y) + 3 * x;
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        return RGB(p[2], p[1], p[0]);
    }
};

bool ReadBitmap(const std::string& path, Bitmap& bitmap)
{
    bitmap.bytes = ReadFileText(path);
    if (bitmap.bytes.size() < 54 || bitmap.bytes.compare(0, 2, "BM") != 0)
        return false;
    auto le32 = [&bitmap](int at) {
        const auto* p = reinterpret_cast<const unsigned char*>(bitmap.bytes.data() + at);
        return static_cast<int>(p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24);
    };
    bitmap.width = le32(18);
    bitmap.height = le32(22);
    return bitmap.bytes.size() >= 54 + static_cast<std::size_t>((3 * bitmap.width + 3) & ~3) * bitmap.height;
}

std::string FramePath(const std::string& folder, int frame, const char* extension)
{
    char name[32];
    snprintf(name, sizeof(name), "frame_%06d.%s", frame, extension);
    return folder + "\\" + name;
}

void RemoveFolder(const std::string& folder)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            DeleteFileA((folder + "\\" + found.cFileName).c_str());
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

TEST_F(HostRunTest, CapturesEachPresentedFrameFromThePluginWindow)
{
    // The fake paints frame n in colour n % 4: blue, red, green, yellow.
    const COLORREF colours[4] = {RGB(0, 0, 255), RGB(255, 0, 0), RGB(0, 255, 0), RGB(255, 255, 0)};
    const std::string folder = WorkDirectory() + "frames";
    RemoveFolder(folder);
    const HostRun run = RunHost("--capture \"" + folder + "\" --capture-format both --size 200x100 " + Fake());
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(Contains(run.out, "captured: 5")) << run.out;
    for (int frame = 1; frame <= 5; ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        Bitmap bitmap;
        ASSERT_TRUE(ReadBitmap(FramePath(folder, frame, "bmp"), bitmap));
        EXPECT_EQ(bitmap.width, 200) << "--size sets the client area";
        EXPECT_EQ(bitmap.height, 100);
        for (const POINT& p : {POINT{0, 0}, POINT{100, 50}, POINT{199, 99}})
            EXPECT_EQ(bitmap.Pixel(p.x, p.y), colours[frame % 4]) << "at " << p.x << "," << p.y;
        const std::string png = ReadFileText(FramePath(folder, frame, "png"));
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(1, 3), "PNG");
        EXPECT_EQ(png.substr(12, 4), "IHDR");
        EXPECT_EQ(static_cast<unsigned char>(png[19]), 200u) << "PNG width";
    }
    EXPECT_FALSE(FileExists(FramePath(folder, 6, "bmp")));

    RemoveFolder(folder);
    const HostRun sparse = RunHost("--capture \"" + folder + "\" --capture-every 2 " + Fake());
    EXPECT_EQ(sparse.exitCode, 0u) << sparse.err;
    for (int frame = 1; frame <= 5; ++frame) {
        EXPECT_EQ(FileExists(FramePath(folder, frame, "png")), frame % 2 == 0) << "frame " << frame;
        EXPECT_FALSE(FileExists(FramePath(folder, frame, "bmp"))) << "png only by default";
    }
    RemoveFolder(folder);

    // The snapshot is the last frame the window showed: frame 5.
    const std::string shot = WorkDirectory() + "last.bmp";
    DeleteFileA(shot.c_str());
    const HostRun snapshot = RunHost("--snapshot \"" + shot + "\" " + Fake());
    EXPECT_EQ(snapshot.exitCode, 0u) << snapshot.err;
    Bitmap bitmap;
    ASSERT_TRUE(ReadBitmap(shot, bitmap));
    EXPECT_EQ(bitmap.Pixel(bitmap.width / 2, bitmap.height / 2), colours[5 % 4]);

    // A plug-in that draws in a child of the host window is found there.
    DeleteFileA(shot.c_str());
    const HostRun child = RunHost("--module 5 --frames 3 --snapshot \"" + shot + "\" " + Fake());
    EXPECT_EQ(child.exitCode, 0u) << child.err;
    ASSERT_TRUE(ReadBitmap(shot, bitmap));
    EXPECT_EQ(bitmap.width, 240) << "the child's client area";
    EXPECT_EQ(bitmap.Pixel(120, 90), colours[3 % 4]);
    DeleteFileA(shot.c_str());
}

TEST_F(HostRunTest, DrivesEachModuleOfTheBuiltPlugin)
{
    ASSERT_FALSE(realPath.empty()) << "vis_brim.dll not among the arguments";
    // A copy of its own, so the plugin.ini it writes stays out of other tests' way.
    const std::string folder = WorkDirectory() + "real";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string plugin = folder + "\\vis_brim.dll";
    ASSERT_TRUE(CopyFileA(realPath.c_str(), plugin.c_str(), FALSE)) << GetLastError();
    DeleteFileA((folder + "\\plugin.ini").c_str());

    const HostRun list = RunHost("--list \"" + plugin + "\"");
    EXPECT_EQ(list.exitCode, 0u) << list.err;
    EXPECT_EQ(list.out, "Brimwave (OpenGL) v0.6\n0: Rectangles\n1: Spheres\n2: Rectangle/Texture(prelim)\n");

    for (int module = 0; module < 3; ++module) {
        SCOPED_TRACE("module " + std::to_string(module));
        const std::string shot = folder + "\\module" + std::to_string(module) + ".bmp";
        DeleteFileA(shot.c_str());
        const HostRun run =
            RunHost("--module " + std::to_string(module) + " --frames 30 --no-sleep --size 320x240 --snapshot \"" +
                    shot + "\" \"" + plugin + "\"");
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_TRUE(Contains(run.out, "frames: 30 ")) << run.out;
        Bitmap bitmap;
        ASSERT_TRUE(ReadBitmap(shot, bitmap));
        EXPECT_EQ(bitmap.width, 320);
        EXPECT_EQ(bitmap.height, 240);
        // Coloured level boxes or spheres on black; white checker squares behind the Texture boxes.
        int coloured = 0;
        int white = 0;
        for (int y = 0; y < bitmap.height; ++y)
            for (int x = 0; x < bitmap.width; ++x) {
                const COLORREF c = bitmap.Pixel(x, y);
                coloured += GetRValue(c) != GetGValue(c) || GetGValue(c) != GetBValue(c);
                white += c == RGB(255, 255, 255);
            }
        const int pixels = bitmap.width * bitmap.height;
        EXPECT_GT(coloured, pixels / 100) << "something drawn in colour";
        if (module == 2)
            EXPECT_GT(white, pixels / 10) << "the checker square shows";
        else
            EXPECT_LT(white, pixels / 100) << "no checker behind boxes or spheres";
    }
}

TEST_F(HostRunTest, ASizedOrOfflineRunLeavesTheBuiltPluginsSavedWindowAsItWas)
{
    ASSERT_FALSE(realPath.empty()) << "vis_brim.dll not among the arguments";
    const std::string folder = WorkDirectory() + "placed";
    CreateDirectoryA(WorkDirectory().c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string plugin = folder + "\\vis_brim.dll";
    ASSERT_TRUE(CopyFileA(realPath.c_str(), plugin.c_str(), FALSE)) << GetLastError();
    const std::string ini = folder + "\\plugin.ini";
    DeleteFileA(ini.c_str());
    // A live run saves the settings as the plug-in keeps them.
    const HostRun live = RunHost("--frames 2 \"" + plugin + "\"");
    ASSERT_EQ(live.exitCode, 0u) << live.err;
    const std::string saved = ReadFileText(ini);
    ASSERT_NE(saved.find("screen_w="), std::string::npos) << saved;
    for (const char* arguments : {"--render --frames 2 --size 1000x700 ", "--frames 2 --size 300x200 "}) {
        SCOPED_TRACE(arguments);
        const HostRun run = RunHost(arguments + ("\"" + plugin + "\""));
        EXPECT_EQ(run.exitCode, 0u) << run.err;
        EXPECT_EQ(ReadFileText(ini), saved);
    }
}

TEST_F(HostRunTest, EscapeInTheBuiltPluginsWindowEndsTheRunWithItsQuitMessage)
{
    ASSERT_FALSE(realPath.empty()) << "vis_brim.dll not among the arguments";
    const std::string folder = WorkDirectory() + "real";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string plugin = folder + "\\vis_brim.dll";
    ASSERT_TRUE(CopyFileA(realPath.c_str(), plugin.c_str(), FALSE)) << GetLastError();

    bool pressed = false;
    const HostRun run = RunHost("--seconds 30 \"" + plugin + "\"", [&pressed](HANDLE process) {
        PollWhileRunning(process, [&pressed] {
            HWND window = FindWindowA("Brimwave", nullptr);
            return pressed = window != nullptr && PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0x00010001) != FALSE;
        });
    });
    ASSERT_TRUE(pressed) << "no Brimwave window appeared";
    EXPECT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_TRUE(Contains(run.out, "ended: the plug-in posted the quit message (code 0)")) << run.out;
    EXPECT_TRUE(Contains(run.out, "key messages received: 1\n")) << "ESC forwarded to the host window\n" << run.out;
}

// The programs under test come as arguments from ctest.
class HostPathsFromArguments : public ::testing::Environment {
public:
    void SetUp() override
    {
        for (int i = 1; i < __argc; ++i) {
            const std::string argument = __argv[i];
            auto endsWith = [&argument](const std::string& end) {
                return argument.size() >= end.size() && argument.compare(argument.size() - end.size(), end.size(), end) == 0;
            };
            if (endsWith("brimhost.exe"))
                hostPath = ToWindowsPath(argument);
            if (endsWith("fake_vis.dll"))
                fakePath = ToWindowsPath(argument);
            if (endsWith("vis_brim.dll"))
                realPath = ToWindowsPath(argument);
        }
    }
};

const auto* registered = ::testing::AddGlobalTestEnvironment(new HostPathsFromArguments);

}  // namespace
