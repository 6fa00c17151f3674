// Drawn frames and the song's samples into a video file through FFmpeg's
// libraries: H.264 (libx264) and AAC in MP4, or a GIF without sound.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

struct VideoEncoderState;

enum class VideoKind { Mp4, Gif };

struct VideoSettings {
    VideoKind kind = VideoKind::Mp4;
    int width = 0;   // even for MP4
    int height = 0;
    double fps = 40;
    int songRate = 0;  // of the samples given to AddSamples
    // x264's trade of speed against size; see bench/video-speed.sh.
    std::string preset = "ultrafast";
    std::string tune = "";
    int crf = 23;
    // 1 where drawing is the slower half of the work, so the encoder keeps
    // to the core the renderer leaves; 2 where encoding is.
    int encoderThreads = 1;
};

class VideoEncoder {
public:
    // Not copied: it owns the FFmpeg state.
    VideoEncoder();
    ~VideoEncoder();

    // Opens `path` (written as given: the caller picks a partial name).
    bool Open(const std::string& path, const VideoSettings& settings, std::string& error);
    // One RGB0 frame, top row first, on the writer thread: converted into
    // the encoder's own buffer (the caller may then reuse its pixels), then
    // encoded.
    bool ConvertFrame(const unsigned char* rgb0, std::string& error);
    bool EncodeFrame(std::string& error);
    // Interleaved 16-bit samples in `layout` (an AVChannelLayout), mixed down
    // to stereo for the sound track; on the render thread.
    bool AddSamples(const std::int16_t* samples, int frames, const void* layout, std::string& error);
    // Flushes both encoders and writes the index; the file is complete after.
    bool Finish(std::string& error);

    long long VideoFrames() const;

private:
    bool WritePackets(void* codec, void* stream, std::string& error);
    bool EncodeAudio(bool last, std::string& error);

    std::unique_ptr<VideoEncoderState> state_;
    std::mutex muxer_;  // both threads write packets
};
